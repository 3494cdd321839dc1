#pragma once

#include "base/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

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

// Everything in `file` from its start to its end, however much that is by now, when that is at
// most `limit` bytes; nothing for a read error or when it holds more.
[[nodiscard]] std::optional<std::string> readAll(const ReadOnlyFile& file, std::size_t limit);

// The whole of a regular file (links followed) of at most `limit` bytes; nothing for anything
// else, for a read error, or when the file holds more. Never waits on a pipe or device.
[[nodiscard]] std::optional<std::string> readRegularFile(const std::filesystem::path& path,
                                                         std::size_t limit);

} // namespace zevra
