#include "base/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>

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

} // namespace zevra
