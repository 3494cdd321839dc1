#include "app/single_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace zevra {
namespace {

// /tmp is shared by every user: a link or foreign file planted at our path must never be
// truncated, so only a regular file of our own counts.
bool isOurRegularFile(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == getuid();
}

} // namespace

std::filesystem::path singleInstanceLockPath() {
    return "/tmp/com.kelmor.zevra." + std::to_string(getuid()) + ".lock";
}

std::optional<int> acquireZevraSingleInstanceLock() {
    return acquireSingleInstanceLockAt(singleInstanceLockPath());
}

std::optional<int> acquireSingleInstanceLockAt(const std::filesystem::path& path) {
    // Close-on-exec: a child (watchdog, browser launcher) must not keep our lock alive after
    // we are gone.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return std::nullopt;
    }
    if (!isOurRegularFile(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return std::nullopt;
    }
    if (ftruncate(fd, 0) != 0) {
        // The lock is what counts; a stale pid in the file harms nobody.
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // Nothing reads the pid back.
    }
    return fd;
}

} // namespace zevra
