// What only real sockets show: refusals, client slots, accept failures, the port's lifetime.
#include "server/local_server.h"

#include "auth/browser_session.h"
#include "base/unique_fd.h"
#include "support/local_server_options.h"
#include "support/loopback_client.h"
#include "support/session_fixture.h"
#include "support/temporary_folder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zevra {
namespace {

using testing::LoopbackClient;

const std::string healthRequest = "GET /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n\r\n";

// Status and body, which is all a test here needs to tell answers apart.
std::string summary(const std::optional<std::string>& raw) {
    const auto answer = raw ? testing::splitAnswer(*raw) : std::nullopt;
    return answer ? std::to_string(answer->status) + " " + answer->body : "<no answer>";
}
const std::string healthy = R"(200 {"ok":true,"service":"zevra-local-shell"})";

// Asks and hangs up as soon as `answerSize` bytes are in, as a client that reads by
// Content-Length does, without waiting for the server to close.
std::string askAndHangUp(std::uint16_t port, std::string_view text, std::size_t answerSize) {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const timeval timeout{10, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    // A failed connect or send shows as an answer cut short.
    ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::send(fd.get(), text.data(), text.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t n = 0;
         answer.size() < answerSize && (n = ::recv(fd.get(), buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer;
}

class LocalServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = makeServer(0);
        ASSERT_TRUE(server->start());
        port = server->listeningPort().value_or(0);
    }

    [[nodiscard]] std::unique_ptr<LocalServer> makeServer(std::uint16_t onPort) {
        auto options = testing::localServerOptions(folder.path() / "Resources", fixture.clock,
                                                   fixture.executor, session);
        options.port = onPort;
        return std::make_unique<LocalServer>(std::move(options));
    }

    // Sends the request, keeps the sending side open and reads the answer.
    [[nodiscard]] std::string answerTo(std::string_view text) const {
        LoopbackClient client(port, std::chrono::seconds(3));
        EXPECT_TRUE(client.send(text));
        return summary(client.readToEnd());
    }

    testing::TemporaryFolder folder;
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session = fixture.makeSession();
    std::unique_ptr<LocalServer> server;
    std::uint16_t port = 0;
};

// The Host check and the limits are decided by the reader and the framing tables; the socket
// shows a refusal is wired up, and that an answer sent with a body still in flight is not reset.
TEST_F(LocalServerTest, RefusalsReachThePeer) {
    EXPECT_EQ(answerTo("GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"), "421 Invalid Host");
    EXPECT_EQ(answerTo("POST /health HTTP/1.1\r\nContent-Length: 33554433\r\n\r\n" +
                       std::string(1 << 20, 'b')),
              "413 Request body is too large.");
}

TEST_F(LocalServerTest, TwelveClientsAtOnceAndTheThirteenthIsTurnedAway) {
    std::vector<std::unique_ptr<LoopbackClient>> slow;
    for (int i = 0; i < 12; ++i) {
        slow.push_back(std::make_unique<LoopbackClient>(port));
        ASSERT_TRUE(slow.back()->send("GET /health HTTP/1.1\r\n"));
    }
    // Far below the five seconds after which the slow clients would give their slots back.
    LoopbackClient thirteenth(port, std::chrono::seconds(3));
    EXPECT_EQ(summary(thirteenth.readToEnd()), "503 ZEVRA is busy; retry shortly.");

    for (auto& client : slow) {
        ASSERT_TRUE(client->send("Host: localhost:18484\r\n\r\n"));
        EXPECT_EQ(summary(client->readToEnd()), healthy);
    }
}

// Slots come back before the answer is complete, so an instant reconnect is never refused.
TEST_F(LocalServerTest, TwelveClientsReconnectingAtOnceAreNeverTurnedAway) {
    const auto first = testing::exchangeRaw(port, healthRequest);
    ASSERT_TRUE(first.has_value());
    const std::string expected = first->head + first->body;
    std::atomic<int> unexpected{0};
    {
        std::vector<std::jthread> clients;
        for (int client = 0; client < 12; ++client) {
            clients.emplace_back([&] {
                for (int round = 0; round < 400; ++round) {
                    unexpected += askAndHangUp(port, healthRequest, expected.size()) != expected;
                }
            });
        }
    }
    EXPECT_EQ(unexpected.load(), 0);
}

TEST_F(LocalServerTest, HoldsItsPortUntilStoppedOrDestroyed) {
    auto second = makeServer(port);
    EXPECT_FALSE(second->start());
    server->stop();
    EXPECT_FALSE(LoopbackClient(port).connected());
    // The same port again, as the health check does after a failure.
    ASSERT_TRUE(second->start());
    second->stop();
    ASSERT_TRUE(second->start());
    EXPECT_EQ(answerTo(healthRequest), healthy);

    LoopbackClient waiting(port);
    ASSERT_TRUE(waiting.send("GET /health HTTP/1.1\r\n"));
    // Give the accept loop the connection before the server goes.
    for (int attempt = 0; attempt < 200; ++attempt) {
        LoopbackClient probe(port);
        probe.closeWrite();
        if (probe.readToEnd() == "") {
            break;
        }
    }
    const auto before = std::chrono::steady_clock::now();
    second.reset();
    // The held connection is cut short instead of waiting out its receive timeout.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(4));
    EXPECT_TRUE(waiting.readToEnd().has_value());
    EXPECT_FALSE(LoopbackClient(port).connected());
}

TEST_F(LocalServerTest, AcceptFailuresBackOffAndKeepRetrying) {
    // Both clients' descriptors exist before the limit is lowered.
    LoopbackClient holder(port, std::chrono::seconds(10), false);
    LoopbackClient client(port, std::chrono::seconds(10), false);
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    // No descriptor can be opened until the limit is restored (nothing returns early). The
    // accept already waiting took its descriptor; the holder keeps it, so later accepts fail.
    const rlimit lowered{static_cast<rlim_t>(lowestFree), saved.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    EXPECT_TRUE(holder.connect() && holder.send("GET /health HTTP/1.1\r\n"));
    EXPECT_TRUE(client.connect() && client.send(healthRequest));
    const std::clock_t cpuBefore = std::clock();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::clock_t cpuSpent = std::clock() - cpuBefore;
    ::setrlimit(RLIMIT_NOFILE, &saved);
    // A loop spinning on the failing accept burns the whole half second.
    EXPECT_LT(cpuSpent, CLOCKS_PER_SEC * 60 / 1000);
    EXPECT_EQ(summary(client.readToEnd()), healthy);
    ASSERT_TRUE(holder.send("Host: 127.0.0.1:18484\r\n\r\n"));
    EXPECT_EQ(summary(holder.readToEnd()), healthy);
}

} // namespace
} // namespace zevra
