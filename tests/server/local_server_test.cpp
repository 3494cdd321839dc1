#include "server/local_server.h"

#include "base/unique_fd.h"
#include "support/loopback_client.h"
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
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zevra {
namespace {

using testing::askServer;
using testing::headerSetA;
using testing::HttpAnswer;
using testing::LoopbackClient;
using testing::splitAnswer;
using testing::TemporaryFolder;

constexpr std::string_view healthBody = R"({"ok":true,"service":"zevra-local-shell"})";
constexpr std::string_view textPlain = "text/plain; charset=utf-8";
constexpr std::string_view indexPage = "<!doctype html><title>shell</title>";

std::string request(std::string_view requestLine, std::string_view moreHeaders = "") {
    return std::string(requestLine) + "\r\nHost: 127.0.0.1:18484\r\n" + std::string(moreHeaders) +
           "\r\n";
}

std::string healthAnswer() {
    return headerSetA("200 OK", "application/json", healthBody.size()) + std::string(healthBody);
}

std::string textAnswer(std::string_view status, std::string_view body) {
    return headerSetA(status, textPlain, body.size()) + std::string(body);
}

std::string staticAnswer(std::string_view contentType, std::string_view body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(contentType) +
           "\r\nCache-Control: no-store, must-revalidate\r\nPragma: no-cache\r\n"
           "X-Content-Type-Options: nosniff\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + std::string(body);
}

LocalServerOptions serverOptions(const std::filesystem::path& resources, std::uint16_t port) {
    LocalServerOptions options;
    options.resourcesPath = resources;
    options.port = port;
    return options;
}

std::string rawAnswer(const std::optional<HttpAnswer>& answer) {
    return answer ? answer->head + answer->body : "<no answer>";
}

// Asks and hangs up as soon as `answerSize` bytes are in, as a client that reads by
// Content-Length does, without waiting for the server to close.
std::string askAndHangUp(std::uint16_t port, std::string_view text, std::size_t answerSize) {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const timeval timeout{10, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::send(fd.get(), text.data(), text.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(text.size())) {
        return "<no connection>";
    }
    std::string answer;
    char buffer[4096];
    while (answer.size() < answerSize) {
        const auto n = ::recv(fd.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer;
}

class LocalServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write("Resources/index.html", std::string(indexPage));
        folder.write("Resources/style.css", "body{}");
        folder.write("Resources/sub dir/a.txt", "spaced");
        folder.write("secret.txt", "secret");
        server = std::make_unique<LocalServer>(serverOptions(resources(), 0));
        ASSERT_TRUE(server->start());
        port = server->listeningPort().value_or(0);
        ASSERT_NE(port, 0);
    }

    [[nodiscard]] std::filesystem::path resources() const { return folder.path() / "Resources"; }

    // Sends the request, keeps the sending side open and reads the answer.
    [[nodiscard]] std::string answerWithoutHalfClose(std::string_view text) const {
        LoopbackClient client(port, std::chrono::seconds(3));
        EXPECT_TRUE(client.send(text));
        return client.readToEnd().value_or("<no answer>");
    }

    TemporaryFolder folder;
    std::unique_ptr<LocalServer> server;
    std::uint16_t port = 0;
};

TEST_F(LocalServerTest, HostHeaderMustNameTheLoopbackServer) {
    struct Case {
        std::string hostLine;
        bool accepted;
    };
    const Case cases[] = {
        {"", false},
        {"Host: 127.0.0.1:18484\r\n", true},
        {"Host: localhost:18484\r\n", true},
        {"Host: LOCALHOST:18484\r\n", true},
        {"Host: 127.0.0.1\r\n", false},
        {"Host: localhost\r\n", false},
        {"Host: evil.example:18484\r\n", false},
        {"X-Forwarded-Host: 127.0.0.1:18484\r\n", false},
    };
    for (const auto& c : cases) {
        for (const std::string path : {"/health", "/index.html"}) {
            const auto answer =
                askServer(port, "GET " + path + " HTTP/1.1\r\n" + c.hostLine + "\r\n");
            const std::string expected =
                !c.accepted         ? textAnswer("421 Misdirected Request", "Invalid Host")
                : path == "/health" ? healthAnswer()
                                    : staticAnswer("text/html; charset=utf-8", indexPage);
            EXPECT_EQ(rawAnswer(answer), expected) << c.hostLine << path;
        }
    }
}

TEST_F(LocalServerTest, ServesFilesFromTheResourcesFolder) {
    struct Case {
        std::string rawPath;
        std::string expected;
    };
    const Case cases[] = {
        {"/", staticAnswer("text/html; charset=utf-8", indexPage)},
        {"/index.html?v=2", staticAnswer("text/html; charset=utf-8", indexPage)},
        {"/style.css", staticAnswer("text/css", "body{}")},
        {"/sub%20dir/a.txt", staticAnswer("application/octet-stream", "spaced")},
        {"/missing.png", textAnswer("404 Not Found", "Not Found: /missing.png")},
        // Only the exact health path is the health check.
        {"/health?x=1", textAnswer("404 Not Found", "Not Found: /health")},
        {"/health/", textAnswer("404 Not Found", "Not Found: /health/")},
        {"/sub%20dir", textAnswer("404 Not Found", "Not Found: /sub dir")},
        {"/%2e%2e/secret.txt", textAnswer("404 Not Found", "Not Found: /../secret.txt")},
        {"/../secret.txt", textAnswer("404 Not Found", "Not Found: /../secret.txt")},
        {"//etc/passwd", textAnswer("404 Not Found", "Not Found: //etc/passwd")},
        {"/index.html%00.png",
         textAnswer("404 Not Found", std::string("Not Found: /index.html\0.png", 27))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rawAnswer(askServer(port, request("GET " + c.rawPath + " HTTP/1.1"))), c.expected)
            << c.rawPath;
    }
}

TEST_F(LocalServerTest, ReadsOddRequestLines) {
    const auto index = staticAnswer("text/html; charset=utf-8", indexPage);
    // An empty request line is a GET of "/".
    EXPECT_EQ(rawAnswer(askServer(port, request(""))), index);
    EXPECT_EQ(rawAnswer(askServer(port, request("get / HTTP/1.1"))), index);
    EXPECT_EQ(rawAnswer(askServer(port, request("POST /health HTTP/1.1"))), healthAnswer());
}

TEST_F(LocalServerTest, AnswersARequestWithoutItsEmptyLineOnceThePeerHalfCloses) {
    EXPECT_EQ(rawAnswer(askServer(port, "GET /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n")),
              healthAnswer());
}

TEST_F(LocalServerTest, ClosesWithoutAnswerWhenNothingArrives) {
    LoopbackClient client(port);
    client.closeWrite();
    EXPECT_EQ(client.readToEnd(), "");
}

TEST_F(LocalServerTest, HeaderBlockLimit) {
    const std::string start = "GET /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\nX-Pad: ";
    const auto padded = [&](std::size_t total, std::string_view ending) {
        return start + std::string(total - start.size() - ending.size(), 'p') + std::string(ending);
    };
    const auto tooLarge =
        textAnswer("431 Request Header Fields Too Large", "Request headers are too large.");

    EXPECT_EQ(answerWithoutHalfClose(padded(65536, "\r\n\r\n")), healthAnswer());
    EXPECT_EQ(answerWithoutHalfClose(padded(65537, "")), tooLarge);
    EXPECT_EQ(answerWithoutHalfClose(padded(65537, "\r\n\r\n")), tooLarge);
    EXPECT_EQ(answerWithoutHalfClose(padded(100000, "")), tooLarge);
}

TEST_F(LocalServerTest, BodyLimit) {
    const auto head = [](long long length) {
        return request("POST /health HTTP/1.1",
                       "Content-Length: " + std::to_string(length) + "\r\n");
    };
    const auto tooLarge = textAnswer("413 Payload Too Large", "Request body is too large.");

    EXPECT_EQ(answerWithoutHalfClose(head(33554432) + std::string(33554432, 'b')), healthAnswer());
    // Refused from the header alone: no body byte is sent, and none is waited for.
    EXPECT_EQ(answerWithoutHalfClose(head(33554433)), tooLarge);
    // A body already on its way does not reset the connection before the answer is read.
    EXPECT_EQ(answerWithoutHalfClose(head(33554433) + std::string(1 << 20, 'b')), tooLarge);
    // A negative length declares no body, so nothing more is awaited.
    EXPECT_EQ(answerWithoutHalfClose(head(-5) + "abc"), healthAnswer());
}

TEST_F(LocalServerTest, TwelveClientsAtOnceAndTheThirteenthIsTurnedAway) {
    std::vector<std::unique_ptr<LoopbackClient>> slow;
    for (int i = 0; i < 12; ++i) {
        slow.push_back(std::make_unique<LoopbackClient>(port));
        ASSERT_TRUE(slow.back()->send("GET /health HTTP/1.1\r\n"));
    }
    // Far below the five seconds after which the slow clients would give their slots back.
    LoopbackClient thirteenth(port, std::chrono::seconds(3));
    EXPECT_EQ(thirteenth.readToEnd(),
              textAnswer("503 Service Unavailable", "ZEVRA is busy; retry shortly."));

    for (auto& client : slow) {
        ASSERT_TRUE(client->send("Host: localhost:18484\r\n\r\n"));
    }
    for (auto& client : slow) {
        EXPECT_EQ(client->readToEnd(), healthAnswer());
    }
    slow.clear();

    // Every slot came back before its answer was complete.
    EXPECT_EQ(rawAnswer(askServer(port, request("GET /health HTTP/1.1"))), healthAnswer());
}

TEST_F(LocalServerTest, TwelveClientsReconnectingAtOnceAreNeverTurnedAway) {
    const auto expected = healthAnswer();
    const auto ask = request("GET /health HTTP/1.1");
    std::atomic<int> unexpected{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < 12; ++client) {
        clients.emplace_back([&] {
            for (int round = 0; round < 400; ++round) {
                if (askAndHangUp(port, ask, expected.size()) != expected) {
                    ++unexpected;
                }
            }
        });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(unexpected.load(), 0);
}

TEST_F(LocalServerTest, StartsOnceStopsAndStartsAgain) {
    EXPECT_TRUE(server->start());
    EXPECT_EQ(server->listeningPort(), port);

    server->stop();
    EXPECT_EQ(server->listeningPort(), std::nullopt);
    EXPECT_FALSE(LoopbackClient(port).connected());
    server->stop(); // stopping twice is harmless

    // The same port again, as the health check does after a failure.
    server = std::make_unique<LocalServer>(serverOptions(resources(), port));
    ASSERT_TRUE(server->start());
    server->stop();
    ASSERT_TRUE(server->start());
    EXPECT_EQ(rawAnswer(askServer(port, request("GET /health HTTP/1.1"))), healthAnswer());
}

TEST_F(LocalServerTest, StartFailsWhileThePortIsTaken) {
    LocalServer second(serverOptions(resources(), port));
    EXPECT_FALSE(second.start());
    EXPECT_EQ(second.listeningPort(), std::nullopt);
    server->stop();
    EXPECT_TRUE(second.start());
    EXPECT_EQ(rawAnswer(askServer(port, request("GET /health HTTP/1.1"))), healthAnswer());
}

TEST_F(LocalServerTest, DestroyingAListeningServerStopsIt) {
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
    server.reset();
    // The held connection is cut short instead of waiting out its receive timeout.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(4));
    EXPECT_TRUE(waiting.readToEnd().has_value());
    EXPECT_FALSE(LoopbackClient(port).connected());

    LocalServer next(serverOptions(resources(), port));
    EXPECT_TRUE(next.start());
}

// Restores the descriptor limit it lowered.
class DescriptorLimit {
public:
    DescriptorLimit() { ::getrlimit(RLIMIT_NOFILE, &saved_); }
    ~DescriptorLimit() { restore(); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

    // No further descriptor can be opened until `restore`.
    void exhaust() {
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    void restore() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

std::chrono::microseconds processCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto total = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return total(usage.ru_utime) + total(usage.ru_stime);
}

TEST_F(LocalServerTest, AcceptFailuresBackOffAndKeepRetrying) {
    // Both clients' descriptors exist before the limit is lowered.
    LoopbackClient holder(port, std::chrono::seconds(10), false);
    LoopbackClient client(port, std::chrono::seconds(10), false);
    DescriptorLimit limit;
    limit.exhaust();
    // The accept already waiting took its descriptor earlier; the holder keeps it in use, so
    // every accept after it finds none.
    ASSERT_TRUE(holder.connect());
    ASSERT_TRUE(holder.send("GET /health HTTP/1.1\r\n"));
    ASSERT_TRUE(client.connect());
    ASSERT_TRUE(client.send(request("GET /health HTTP/1.1")));
    const auto cpuBefore = processCpuTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto cpuSpent = processCpuTime() - cpuBefore;
    limit.restore();
    // A loop spinning on the failing accept burns the whole half second.
    EXPECT_LT(cpuSpent, std::chrono::milliseconds(60));
    EXPECT_EQ(client.readToEnd(), healthAnswer());
    ASSERT_TRUE(holder.send("Host: 127.0.0.1:18484\r\n\r\n"));
    EXPECT_EQ(holder.readToEnd(), healthAnswer());
}

} // namespace
} // namespace zevra
