#include "server/socket_byte_stream.h"
#include "server/transfer_limits.h"

#include "server/socket_pair.h"

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::SocketPair;

TEST(SocketByteStream, ReadsWithinTheRequestTimeLimits) {
    constexpr std::size_t bodyBytes = 2 << 20;
    struct Case {
        std::string name;
        bool bodyDeclared;
        // The clock moves by each gap, then one byte arrives and is read.
        std::vector<std::chrono::milliseconds> gaps;
        bool lastByteInTime;
    };
    const Case cases[] = {
        {"silence up to the read limit", false, {readSilenceLimit}, true},
        {"silence past the read limit", false, {readSilenceLimit + 1ms}, false},
        {"header block up to its limit", false, {4s, 4s, headerReadTimeLimit - 8s}, true},
        {"header block past its limit", false, {4s, 4s, headerReadTimeLimit - 8s + 1ms}, false},
        {"body up to its limit", true, {4s, 4s, 4s, bodyReadTimeLimit(bodyBytes) - 12s}, true},
        {"body past its limit",
         true,
         {4s, 4s, 4s, bodyReadTimeLimit(bodyBytes) - 12s + 1ms},
         false},
    };
    for (const auto& c : cases) {
        SocketPair pair;
        SocketByteStream stream(pair.server.get(), pair.clock);
        if (c.bodyDeclared) {
            stream.expectBody(bodyBytes);
        }
        for (std::size_t i = 0; i < c.gaps.size(); ++i) {
            pair.clock.advance(c.gaps[i]);
            ASSERT_EQ(::send(pair.peer.get(), "x", 1, MSG_NOSIGNAL), 1);
            const bool inTime = i + 1 < c.gaps.size() || c.lastByteInTime;
            char byte = 0;
            EXPECT_EQ(stream.readSome({&byte, 1}), inTime ? 1 : -1) << c.name << ", byte " << i;
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
        const bool inTime = late == 0ms;
        EXPECT_EQ(written, inTime) << late.count();
        EXPECT_EQ(arrived == head + body, inTime) << late.count();
    }
}

TEST(SocketByteSink, FailsQuietlyWhenThePeerIsGone) {
    SocketPair pair;
    pair.peer.reset();
    // Without MSG_NOSIGNAL this would end the test process with SIGPIPE.
    EXPECT_FALSE(pair.sink.writeAnswer("HTTP/1.1 200 OK\r\n\r\n", "hello"));
}

} // namespace
} // namespace zevra
