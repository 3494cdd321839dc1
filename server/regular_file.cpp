#include "server/regular_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

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

namespace {

// sendfile has no MSG_NOSIGNAL: while one of these lives, a vanished peer cannot raise SIGPIPE
// on this thread; one raised meanwhile is taken back before the old mask returns.
class SigpipeBlocked {
public:
    SigpipeBlocked() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeBlocked() {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            static_cast<void>(sigtimedwait(&pipe_, nullptr, &now));
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked&) = delete;
    SigpipeBlocked& operator=(const SigpipeBlocked&) = delete;

private:
    sigset_t pipe_{};
    sigset_t previous_{};
    bool wasPending_ = false;
};

} // namespace

bool sendFileBytes(int socket, const RegularFile& file) {
    const SigpipeBlocked noSigpipe;
    off_t offset = 0;
    while (static_cast<std::size_t>(offset) < file.size) {
        const ssize_t n = ::sendfile(socket, file.fd.get(), &offset,
                                     file.size - static_cast<std::size_t>(offset));
        if (n > 0) {
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
    return true;
}

} // namespace zevra
