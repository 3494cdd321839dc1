#include "server/socket_byte_stream.h"

#include "server/transfer_limits.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace zevra {

SocketByteStream::SocketByteStream(int fd, const Clock& clock)
    : fd_(fd), timer_(clock, readSilenceLimit) {
    timer_.start(headerReadTimeLimit);
}

long SocketByteStream::readSome(std::span<char> into) {
    for (;;) {
        // Read before the bytes are taken, so a byte counts from no later than its arrival.
        const auto now = timer_.now();
        if (timer_.expired(now)) {
            return -1;
        }
        const auto n = ::recv(fd_, into.data(), into.size(), MSG_DONTWAIT);
        if (n > 0) {
            timer_.progressed(now);
            return static_cast<long>(n);
        }
        if (n == 0) {
            return 0;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return -1;
        }
        if (!timer_.waitReady(fd_, POLLIN, now)) {
            return -1;
        }
    }
}

void SocketByteStream::expectBody(std::size_t bytes) {
    timer_.start(bodyReadTimeLimit(bytes));
}

} // namespace zevra
