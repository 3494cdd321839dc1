#include "base/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zevra {

std::optional<ReadOnlyFile> ReadOnlyFile::open(const std::filesystem::path& path, Links links) {
    // Non-blocking, so a named pipe in place of the file is refused instead of waited on.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (links == Links::refuse) {
        flags |= O_NOFOLLOW;
    }
    UniqueFd fd(::open(path.c_str(), flags));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return ReadOnlyFile(std::move(fd), static_cast<std::int64_t>(status.st_size));
}

std::optional<std::string> readAll(const ReadOnlyFile& file, std::size_t limit) {
    // One byte past the limit tells a file that grew since it was opened.
    std::string contents(std::min(static_cast<std::size_t>(file.size()), limit) + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const ssize_t n = ::pread(file.descriptor(), contents.data() + filled,
                                  contents.size() - filled, static_cast<off_t>(filled));
        if (n == 0) {
            break;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        filled += static_cast<std::size_t>(n);
        if (filled == contents.size() && filled <= limit) {
            contents.resize(std::min(contents.size() * 2, limit + 1));
        }
    }
    if (filled > limit) {
        return std::nullopt;
    }
    contents.resize(filled);
    return contents;
}

std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::size_t limit) {
    const auto file = ReadOnlyFile::open(path, ReadOnlyFile::Links::follow);
    if (!file || static_cast<std::uint64_t>(file->size()) > limit) {
        return std::nullopt;
    }
    return readAll(*file, limit);
}

} // namespace zevra
