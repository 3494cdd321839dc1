#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace zevra {

// The whole contents of a regular file, read into pages of their own. They go back to the
// system when the object goes, so serving large files leaves no grown heap behind in the
// workers' allocator arenas.
class FileContents {
public:
    // Absent for anything but a readable regular file.
    [[nodiscard]] static std::optional<FileContents> read(const std::filesystem::path& file);

    FileContents(FileContents&& other) noexcept;
    FileContents& operator=(FileContents&& other) noexcept;
    FileContents(const FileContents&) = delete;
    FileContents& operator=(const FileContents&) = delete;
    ~FileContents();

    [[nodiscard]] std::string_view bytes() const { return {data_, size_}; }

private:
    FileContents() = default;
    [[nodiscard]] bool reserve(std::size_t capacity);
    void release();

    char* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

} // namespace zevra
