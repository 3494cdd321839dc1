#include "support/loopback_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace zevra::testing {
namespace {

std::optional<HttpAnswer> parseAnswer(const std::string& raw) {
    const auto end = raw.find("\r\n\r\n");
    if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos) {
        return std::nullopt;
    }
    HttpAnswer answer;
    answer.status = std::stoi(raw.substr(9, 3));
    answer.head = raw.substr(0, end);
    answer.body = raw.substr(end + 4);
    return answer;
}

} // namespace

std::optional<HttpAnswer> exchangeRaw(std::uint16_t port, const std::string& request,
                                      std::chrono::milliseconds timeout) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return std::nullopt;
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string raw;
    char buffer[65536];
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        raw.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return parseAnswer(raw);
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
