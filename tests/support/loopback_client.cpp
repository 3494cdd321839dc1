#include "support/loopback_client.h"

#include <cstdlib>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <thread>

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
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool LoopbackClient::send(std::string_view data) {
    while (!data.empty()) {
        const auto n = ::send(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void LoopbackClient::closeWrite() {
    ::shutdown(fd_.get(), SHUT_WR);
}

std::optional<std::string> LoopbackClient::readToEnd() {
    std::string received;
    char buffer[65536];
    for (;;) {
        const auto n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
        if (n == 0) {
            return received;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<HttpAnswer> splitAnswer(const std::string& raw) {
    const auto headEnd = raw.find("\r\n\r\n");
    if (!raw.starts_with("HTTP/1.1 ") || headEnd == std::string::npos) {
        return std::nullopt;
    }
    HttpAnswer answer;
    answer.status = std::atoi(raw.substr(9, 3).c_str());
    answer.head = raw.substr(0, headEnd + 4);
    answer.body = raw.substr(headEnd + 4);
    return answer;
}

std::optional<HttpAnswer> exchangeRaw(std::uint16_t port, std::string_view request,
                                      std::chrono::seconds timeout) {
    LoopbackClient client(port, timeout);
    if (!client.connected() || !client.send(request)) {
        return std::nullopt;
    }
    const auto raw = client.readToEnd();
    if (!raw) {
        return std::nullopt;
    }
    return splitAnswer(*raw);
}

std::optional<HttpAnswer> httpGet(std::uint16_t port, const std::string& path,
                                  const std::string& extraHeaders) {
    return exchangeRaw(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n" +
                                 extraHeaders + "\r\n");
}

bool waitForHealth(std::uint16_t port, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto answer = httpGet(port, "/health");
        if (answer && answer->status == 200) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace zevra::testing
