#include "server/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zevra {

std::optional<RegularFile> openRegularFile(const std::filesystem::path& path) {
    // Non-blocking open so a named pipe put in place of a file cannot stall the worker.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return RegularFile{std::move(fd), static_cast<std::size_t>(status.st_size)};
}

std::optional<std::string> readToEnd(const RegularFile& file) {
    // One byte more than the size, so a file that has not grown ends in the first buffer.
    std::string contents(file.size + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == contents.size()) {
            contents.resize(contents.size() * 2);
        }
        const ssize_t n = ::pread(file.fd.get(), contents.data() + filled, contents.size() - filled,
                                  static_cast<off_t>(filled));
        if (n == 0) {
            contents.resize(filled);
            return contents;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        filled += static_cast<std::size_t>(n);
    }
}

} // namespace zevra
