#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The bytes of one opened document: memory-mapped read-only on local file systems, read into
// memory elsewhere (a network file changed under a mapping would fault the process).
class DocumentFileContents {
public:
    // Empty when the file is not a regular file, its size cannot be read, it is larger than
    // `maximumBytes`, or it cannot be read.
    [[nodiscard]] static std::optional<DocumentFileContents> open(const std::filesystem::path& path,
                                                                  std::uint64_t maximumBytes);

    DocumentFileContents(DocumentFileContents&& other) noexcept;
    DocumentFileContents& operator=(DocumentFileContents&& other) noexcept;
    DocumentFileContents(const DocumentFileContents&) = delete;
    DocumentFileContents& operator=(const DocumentFileContents&) = delete;
    ~DocumentFileContents();

    [[nodiscard]] std::string_view bytes() const;
    [[nodiscard]] bool isMapped() const { return mapping_ != nullptr; }

private:
    DocumentFileContents() = default;
    void release();

    void* mapping_ = nullptr;
    std::size_t mappedBytes_ = 0;
    std::string readBytes_;
};

} // namespace zevra
