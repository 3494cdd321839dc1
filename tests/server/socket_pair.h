#pragma once

#include "base/unique_fd.h"
#include "server/client_socket.h"
#include "server/socket_byte_sink.h"
#include "support/manual_clock.h"

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace zevra::testing {

// Both ends of a local stream connection. The server end is set up as the server sets up an
// accepted connection and writes through `sink`; the test reads what arrives at the peer end.
class SocketPair {
public:
    SocketPair() : SocketPair(connectedPair()) {}

    // Everything that arrives at the peer end until the server end is closed.
    std::string readAll() {
        std::string all;
        char buffer[65536];
        for (;;) {
            const auto n = ::recv(peer.get(), buffer, sizeof buffer, 0);
            if (n <= 0) {
                return all;
            }
            all.append(buffer, static_cast<std::size_t>(n));
        }
    }
    // What was written so far to the server end, which is closed now.
    std::string written() {
        server.reset();
        return readAll();
    }

    UniqueFd server;
    UniqueFd peer;
    ManualClock clock;
    SocketByteSink sink{server.get(), clock};

private:
    explicit SocketPair(std::array<int, 2> fds) : server(fds[0]), peer(fds[1]) {
        configureClientSocket(server.get());
    }
    static std::array<int, 2> connectedPair() {
        std::array<int, 2> fds{-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds.data()), 0);
        return fds;
    }
};

} // namespace zevra::testing
