#include "server/client_socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

namespace zevra {
namespace {

// Bounds on the input dropped after a refusal.
constexpr auto drainTime = std::chrono::seconds(2);
constexpr long drainBytes = 64L * 1024 * 1024;

} // namespace

void configureClientSocket(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        static_cast<void>(::fcntl(fd, F_SETFL, flags | O_NONBLOCK));
    }
    const int one = 1;
    static_cast<void>(::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one));
}

void discardArrivedInput(int fd) {
    char scratch[8192];
    for (long dropped = 0; dropped < drainBytes;) {
        const auto n = ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n <= 0) {
            return;
        }
        dropped += n;
    }
}

void drainBeforeClose(int fd) {
    static_cast<void>(::shutdown(fd, SHUT_WR));
    const auto deadline = std::chrono::steady_clock::now() + drainTime;
    char scratch[8192];
    for (long dropped = 0; dropped < drainBytes;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return;
        }
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return;
        }
        const auto n = ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        dropped += n;
    }
}

} // namespace zevra
