#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zevra::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // Writes `contents` to a file below the folder (parents created) and returns its path.
    std::filesystem::path write(const std::string& relative, const std::string& contents) const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);

// How many times `part` starts in `text`, overlaps included.
std::size_t countOf(std::string_view text, std::string_view part);

} // namespace zevra::testing
