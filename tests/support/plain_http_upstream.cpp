#include "support/plain_http_upstream.h"

#include <sys/socket.h>
#include <sys/time.h>

namespace zevra::testing {

PlainHttpUpstream::PlainHttpUpstream(Handler handler) : handler_(std::move(handler)) {
    loop_.emplace([this](int fd) { serveConnection(fd); });
}

std::vector<std::string> PlainHttpUpstream::targets() const {
    const std::lock_guard guard(lock_);
    return targets_;
}

// Requests without a body only: the head is all there is to read.
void PlainHttpUpstream::serveConnection(int fd) {
    const timeval patience{5, 0};
    static_cast<void>(::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience));
    std::string received;
    char buffer[4096];
    while (received.find("\r\n\r\n") == std::string::npos) {
        const ssize_t read = ::recv(fd, buffer, sizeof buffer, 0);
        if (read <= 0) {
            return;
        }
        received.append(buffer, static_cast<std::size_t>(read));
    }
    const auto targetStart = received.find(' ') + 1;
    const std::string target =
        received.substr(targetStart, received.find(' ', targetStart) - targetStart);
    {
        const std::lock_guard guard(lock_);
        targets_.push_back(target);
    }
    const std::string answer = handler_(target);
    static_cast<void>(::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL));
}

} // namespace zevra::testing
