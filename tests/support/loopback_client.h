#pragma once

#include "base/descriptor_io.h"
#include "base/unique_fd.h"

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zevra::testing {

// One client connection to 127.0.0.1, with a receive timeout so a test cannot hang.
class LoopbackClient {
public:
    explicit LoopbackClient(std::uint16_t port,
                            std::chrono::seconds receiveTimeout = std::chrono::seconds(10),
                            bool connectNow = true);

    // Connects a client made with `connectNow` false; needs no new descriptor.
    [[nodiscard]] bool connect();

    [[nodiscard]] bool connected() const { return fd_.valid(); }
    [[nodiscard]] bool send(std::string_view data) { return writeAll(fd_.get(), data); }
    void closeWrite() { ::shutdown(fd_.get(), SHUT_WR); }
    // Everything until the server closes; absent after a timeout or a reset.
    [[nodiscard]] std::optional<std::string> readToEnd();

private:
    UniqueFd fd_;
    std::uint16_t port_;
};

struct HttpAnswer {
    int status = 0;   // 200
    std::string head; // status line and header lines, up to and with the empty line
    std::string body;
};

// A listening socket on 127.0.0.1; port 0 takes any free one. Invalid when it cannot listen.
[[nodiscard]] UniqueFd listenOnLoopback(std::uint16_t port);
// The port a socket is bound to; 0 when unknown.
[[nodiscard]] std::uint16_t boundPort(int fd);

// Splits a raw answer; absent when it is not a status line, headers and an empty line.
[[nodiscard]] std::optional<HttpAnswer> splitAnswer(const std::string& raw);

// Sends raw `request` bytes to 127.0.0.1:port and reads the answer until the server closes.
[[nodiscard]] std::optional<HttpAnswer>
exchangeRaw(std::uint16_t port, std::string_view request,
            std::chrono::seconds timeout = std::chrono::seconds(10));

} // namespace zevra::testing
