#include "base/descriptor_io.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace zevra {
namespace {

ssize_t writeSome(int fd, const char* bytes, std::size_t count) {
    const ssize_t sent = ::send(fd, bytes, count, MSG_NOSIGNAL);
    if (sent < 0 && errno == ENOTSOCK) {
        return ::write(fd, bytes, count);
    }
    return sent;
}

} // namespace

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = writeSome(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool readExactly(int fd, char* into, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got = ::read(fd, into + filled, count - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace zevra
