#include "server/client_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <chrono>

namespace zevra {
namespace {

constexpr int receiveTimeoutSeconds = 5;
constexpr int sendTimeoutSeconds = 30;
// Bounds on the input dropped after a refusal.
constexpr auto drainTime = std::chrono::seconds(2);
constexpr long drainBytes = 64L * 1024 * 1024;

void setTimeout(int fd, int option, int seconds) {
    const timeval timeout{seconds, 0};
    static_cast<void>(::setsockopt(fd, SOL_SOCKET, option, &timeout, sizeof timeout));
}

} // namespace

void configureClientSocket(int fd) {
    setTimeout(fd, SO_RCVTIMEO, receiveTimeoutSeconds);
    setTimeout(fd, SO_SNDTIMEO, sendTimeoutSeconds);
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
