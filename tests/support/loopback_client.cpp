#include "support/loopback_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>

namespace zevra::testing {

LoopbackClient::LoopbackClient(std::uint16_t port, std::chrono::seconds receiveTimeout,
                               bool connectNow)
    : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(port) {
    const timeval timeout{static_cast<time_t>(receiveTimeout.count()), 0};
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (connectNow && !connect()) {
        fd_.reset();
    }
}

bool LoopbackClient::connect() {
    const sockaddr_in address{AF_INET, htons(port_), {htonl(INADDR_LOOPBACK)}, {}};
    return ::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

std::optional<std::string> LoopbackClient::readToEnd() {
    std::string received;
    char buffer[65536];
    for (;;) {
        const auto n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0 ? std::optional(received) : std::nullopt;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<HttpAnswer> splitAnswer(const std::string& raw) {
    const auto headEnd = raw.find("\r\n\r\n");
    if (!raw.starts_with("HTTP/1.1 ") || headEnd == std::string::npos) {
        return std::nullopt;
    }
    return HttpAnswer{std::atoi(raw.substr(9, 3).c_str()), raw.substr(0, headEnd + 4),
                      raw.substr(headEnd + 4)};
}

std::optional<HttpAnswer> exchangeRaw(std::uint16_t port, std::string_view request,
                                      std::chrono::seconds timeout) {
    LoopbackClient client(port, timeout);
    const auto raw = client.send(request) ? client.readToEnd() : std::nullopt;
    return raw ? splitAnswer(*raw) : std::nullopt;
}

UniqueFd listenOnLoopback(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // As any server would; an app run just before leaves connections in TIME_WAIT.
    const int reuse = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!fd.valid() ||
        ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 16) != 0) {
        return UniqueFd();
    }
    return fd;
}

std::uint16_t boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

} // namespace zevra::testing
