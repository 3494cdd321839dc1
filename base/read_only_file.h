#pragma once

#include "base/unique_fd.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace zevra {

// A regular file opened once for reading. Every check of a release archive (size, digest,
// listings) goes through the same descriptor, so all of them describe the same bytes even if
// the path is renamed or replaced in between.
class ReadOnlyFile {
public:
    enum class Links { follow, refuse };

    // Nothing for anything but a regular file that can be opened for reading; with
    // `Links::refuse` a symbolic link in place of the file is refused too.
    [[nodiscard]] static std::optional<ReadOnlyFile> open(const std::filesystem::path& path,
                                                          Links links);

    [[nodiscard]] int descriptor() const { return fd_.get(); }
    // The size when the file was opened.
    [[nodiscard]] std::int64_t size() const { return size_; }

private:
    ReadOnlyFile(UniqueFd fd, std::int64_t size) : fd_(std::move(fd)), size_(size) {}

    UniqueFd fd_;
    std::int64_t size_;
};

} // namespace zevra
