// What only a real socket shows: time limits, files of every size whole, no SIGPIPE.
#include "server/client_socket.h"
#include "server/http_framing.h"
#include "server/response_writer.h"
#include "server/socket_byte_sink.h"
#include "server/socket_byte_stream.h"
#include "server/transfer_limits.h"

#include "base/unique_fd.h"
#include "support/loopback_client.h"
#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <numeric>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;

// Both ends of a local stream connection. The server end is set up as the server sets up an
// accepted connection and written through `sink`; the test reads what arrives at the peer end.
struct SocketPair {
    static std::array<int, 2> connectedPair() {
        std::array<int, 2> fds{-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds.data()), 0);
        return fds;
    }

    SocketPair() { configureClientSocket(server.get()); }

    std::string readAll() {
        std::string all;
        char buffer[65536];
        for (ssize_t n = 0; (n = ::recv(peer.get(), buffer, sizeof buffer, 0)) > 0;) {
            all.append(buffer, static_cast<std::size_t>(n));
        }
        return all;
    }

    std::array<int, 2> fds = connectedPair();
    UniqueFd server{fds[0]};
    UniqueFd peer{fds[1]};
    testing::ManualClock clock;
    SocketByteSink sink{server.get(), clock};
};

TEST(SocketByteStream, ReadsWithinTheRequestTimeLimits) {
    constexpr std::size_t bodyBytes = 2 << 20;
    const auto bodyLimit = bodyReadTimeLimit(bodyBytes);
    // Whether a body is declared; the clock moves by each gap, then one byte arrives and is
    // read; whether the last byte is in time.
    const std::tuple<bool, std::vector<std::chrono::milliseconds>, bool> cases[] = {
        {false, {readSilenceLimit}, true},
        {false, {readSilenceLimit + 1ms}, false},
        {false, {4s, 4s, headerReadTimeLimit - 8s}, true},
        {false, {4s, 4s, headerReadTimeLimit - 8s + 1ms}, false},
        {true, {4s, 4s, 4s, bodyLimit - 12s}, true},
        {true, {4s, 4s, 4s, bodyLimit - 12s + 1ms}, false},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const auto& [bodyDeclared, gaps, lastByteInTime] = cases[row];
        SocketPair pair;
        SocketByteStream stream(pair.server.get(), pair.clock);
        if (bodyDeclared) {
            stream.expectBody(bodyBytes);
        }
        for (std::size_t i = 0; i < gaps.size(); ++i) {
            pair.clock.advance(gaps[i]);
            ASSERT_EQ(::send(pair.peer.get(), "x", 1, MSG_NOSIGNAL), 1);
            const bool inTime = i + 1 < gaps.size() || lastByteInTime;
            char byte = 0;
            EXPECT_EQ(stream.readSome({&byte, 1}), inTime ? 1 : -1)
                << "row " << row << " byte " << i;
        }
    }
}

TEST(SocketByteSink, WritesAnAnswerWithinItsTimeLimit) {
    const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
    // Far more than the socket holds, so the writer waits on the peer.
    const std::string body(4 << 20, 'b');
    for (const auto late : {0ms, 1ms}) {
        SocketPair pair;
        bool written = false;
        std::thread writer([&] {
            written = pair.sink.writeAnswer(head, body);
            pair.server.reset();
        });
        // The first byte shows the answer began, so its deadline counts from the clock as it was.
        char first = 0;
        ASSERT_EQ(::recv(pair.peer.get(), &first, 1, 0), 1);
        pair.clock.advance(answerWriteTimeLimit(head.size() + body.size()) + late);
        const auto arrived = first + pair.readAll();
        writer.join();
        EXPECT_EQ(written, late == 0ms) << late.count();
        EXPECT_EQ(arrived == head + body, late == 0ms) << late.count();
    }
}

// Small files go out read whole, larger ones by the kernel's copy; both arrive whole.
TEST(SocketByteSink, SendsFilesOfEverySizeWhole) {
    const testing::TemporaryFolder folder;
    for (const std::size_t size : {0, 1, 65536, 65537, 1 << 20}) {
        std::string contents(size, '\0');
        std::iota(contents.begin(), contents.end(), '\0');
        const auto file = folder.write("file-" + std::to_string(size) + ".json", contents);
        SocketPair pair;
        std::thread writer([&] {
            ResponseWriter(pair.sink).sendStaticFile(file, "/f");
            pair.server.reset();
        });
        const auto answer = testing::splitAnswer(pair.readAll());
        writer.join();
        ASSERT_TRUE(answer.has_value()) << size;
        EXPECT_EQ(answer->body, contents) << size;
        EXPECT_EQ(parseHeader(answer->head, "Content-Length"), std::to_string(size));
    }
}

// send and the kernel's file copy keep SIGPIPE away each their own way; without either, the
// test process would end here.
TEST(SocketByteSink, FailsQuietlyWhenThePeerIsGone) {
    SocketPair gone;
    gone.peer.reset();
    EXPECT_FALSE(gone.sink.writeAnswer("HTTP/1.1 200 OK\r\n\r\n", "hello"));

    const testing::TemporaryFolder folder;
    const auto file = folder.write("big.bin", std::string(8 << 20, 'x'));
    SocketPair leaving;
    bool sigpipeLeftPending = true;
    std::thread writer([&] {
        ResponseWriter(leaving.sink).sendStaticFile(file, "/big.bin");
        sigset_t pending;
        sigpending(&pending);
        sigpipeLeftPending = sigismember(&pending, SIGPIPE) == 1;
    });
    char first[64];
    ASSERT_GT(::recv(leaving.peer.get(), first, sizeof first, 0), 0);
    leaving.peer.reset();
    writer.join();
    EXPECT_FALSE(sigpipeLeftPending);
}

} // namespace
} // namespace zevra
