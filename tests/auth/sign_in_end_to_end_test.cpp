// Browser sign-in through the real loopback server: the connect page, the handoff route, the
// status routes and the start-up load, over real sockets and the real keyring.
#include "auth/browser_session.h"
#include "server/local_server.h"

#include "identity_endpoint.h"
#include "session_fixture.h"
#include "support/loopback_client.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <latch>
#include <thread>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
constexpr const char* token = "0123456789abcdefABCDEF0123456789";
constexpr const char* extensionOrigin = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
constexpr const char* shellReferer = "Referer: http://127.0.0.1:18484/index.html\r\n";

class SignInEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEVRA_REQUIRE_KEYRING();
        startServer();
    }
    void TearDown() override {
        if (session != nullptr) {
            session->keychain().deleteToken();
        }
    }

    void startServer() {
        server.reset();
        session = fixture.makeSession();
        server = std::make_unique<LocalServer>(LocalServerOptions{
            .resourcesPath = resources.path(),
            .port = 0,
            .clock = &fixture.clock,
            .session = session,
        });
        ASSERT_TRUE(server->start());
        port = server->listeningPort().value_or(0);
        session->waitForStoredTokenLoad();
    }

    [[nodiscard]] std::optional<testing::HttpAnswer>
    postHandoff(const std::string& body, const std::string& origin,
                const std::string& path = "/auth-bridge") const {
        std::string request = "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n";
        if (!origin.empty()) {
            request += "Origin: " + origin + "\r\n";
        }
        request +=
            "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body;
        return testing::exchangeRaw(port, request);
    }

    [[nodiscard]] json bridgeStatus() const {
        const auto answer = testing::httpGet(port, "/auth-bridge/status", shellReferer);
        EXPECT_TRUE(answer.has_value());
        if (!answer.has_value()) {
            return {};
        }
        EXPECT_EQ(answer->status, 200);
        return json::parse(answer->body, nullptr, false);
    }

    [[nodiscard]] int connectStatus(const std::string& target) const {
        const auto answer = testing::httpGet(port, target);
        return answer.has_value() ? answer->status : 0;
    }

    [[nodiscard]] static std::string handoffBody(const std::string& nonce) {
        return json({{"token", token}, {"nonce", nonce}}).dump();
    }

    testing::SessionFixture fixture;
    testing::TemporaryFolder resources;
    std::shared_ptr<BrowserSession> session;
    std::unique_ptr<LocalServer> server;
    std::uint16_t port = 0;
};

TEST_F(SignInEndToEndTest, ExtensionCompletesTheSignInAndARestartKeepsIt) {
    const auto nonce = *session->beginBrowserAuth();

    const auto page = testing::httpGet(port, "/app-connect?nonce=" + nonce + "&automatic=1");
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->head.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    EXPECT_NE(page->body.find("<title>ZEVRA — connect app</title>"), std::string::npos);
    EXPECT_NE(page->body.find("checking your signed-in ZEVRA extension…"), std::string::npos);
    EXPECT_EQ(page->body.find(token), std::string::npos);

    // Line breaks and spaces around the nonce, Unicode ones included, do not count.
    const auto handoff =
        postHandoff(handoffBody("\xC2\x85" + nonce + "\xE2\x80\xA9"), extensionOrigin);
    ASSERT_TRUE(handoff.has_value());
    EXPECT_EQ(handoff->status, 204);
    EXPECT_EQ(handoff->body, "");

    EXPECT_EQ(bridgeStatus(),
              json({{"ok", true}, {"authenticated", true}, {"handoff_ready", true}}));
    EXPECT_EQ(bridgeStatus(),
              json({{"ok", true}, {"authenticated", true}, {"handoff_ready", false}}));
    EXPECT_EQ(session->keychain().read(), token);
    // The nonce is spent: the connect page is gone with it.
    EXPECT_EQ(connectStatus("/app-connect?nonce=" + nonce), 403);

    startServer();
    EXPECT_EQ(session->currentToken(), token);
    EXPECT_EQ(bridgeStatus(),
              json({{"ok", true}, {"authenticated", true}, {"handoff_ready", false}}));
}

TEST_F(SignInEndToEndTest, ConnectPageRefusals) {
    const auto nonce = *session->beginBrowserAuth();
    std::string upper = nonce;
    for (auto& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const struct {
        const char* what;
        std::string target;
    } cases[] = {
        {"trailing slash", "/app-connect/?nonce=" + nonce},
        {"upper-case nonce", "/app-connect?nonce=" + upper},
        {"other nonce", "/app-connect?nonce=" + std::string(64, 'a')},
        {"short nonce", "/app-connect?nonce=" + nonce.substr(1)},
        {"no nonce", "/app-connect"},
        {"longer path", "/app-connection?nonce=" + nonce},
        {"unparsable target", "/app-connect?nonce=" + nonce + "%zz"},
    };
    for (const auto& c : cases) {
        const auto answer = testing::httpGet(port, c.target);
        ASSERT_TRUE(answer.has_value()) << c.what;
        EXPECT_EQ(answer->status, 403) << c.what;
        EXPECT_EQ(answer->body, "Invalid or expired app connection request.") << c.what;
        EXPECT_NE(answer->head.find("Content-Type: text/plain; charset=utf-8"), std::string::npos);
    }
    const auto post = postHandoff("", "", "/app-connect?nonce=" + nonce);
    ASSERT_TRUE(post.has_value());
    EXPECT_EQ(post->status, 403);
    EXPECT_EQ(connectStatus("/app-connect?other=1&nonce=" + nonce), 200);
    fixture.clock.advance(601s);
    EXPECT_EQ(connectStatus("/app-connect?nonce=" + nonce), 403);
}

// Which nonce, origin and window are accepted is the session's rule; the route adds the body
// limit and answers without a body either way.
TEST_F(SignInEndToEndTest, HandoffAnswers) {
    const struct {
        const char* what;
        bool rightNonce;
        std::size_t padTo; // body padded with spaces to this size (0: none)
        int status;
    } cases[] = {
        {"upper-case nonce", false, 0, 403},
        {"513-byte body", true, 513, 403},
        {"512-byte body", true, 512, 204},
    };
    for (const auto& c : cases) {
        const auto nonce = *session->beginBrowserAuth();
        std::string given = nonce;
        if (!c.rightNonce) {
            std::transform(given.begin(), given.end(), given.begin(), ::toupper);
        }
        std::string body = handoffBody(given);
        if (c.padTo > 0) {
            body.append(c.padTo - body.size(), ' ');
        }
        const auto answer = postHandoff(body, extensionOrigin);
        ASSERT_TRUE(answer.has_value()) << c.what;
        EXPECT_EQ(answer->status, c.status) << c.what;
        EXPECT_EQ(answer->body, "") << c.what;
        EXPECT_EQ(session->currentToken().has_value(), c.status == 204) << c.what;
    }
}

// Several answers to one sign-in arriving at once: one is taken, and the keyring holds the
// token the session uses, so a restart keeps the same account.
TEST_F(SignInEndToEndTest, ConcurrentHandoffsWithOneNonceAcceptExactlyOne) {
    constexpr int handoffs = 6;
    const auto tokenOf = [](int client) {
        return std::string(32, static_cast<char>('1' + client));
    };
    for (int trial = 0; trial < 3; ++trial) {
        const auto nonce = *session->beginBrowserAuth();
        std::array<int, handoffs> statuses{};
        std::latch start(handoffs);
        {
            std::vector<std::jthread> clients;
            clients.reserve(handoffs);
            for (int client = 0; client < handoffs; ++client) {
                clients.emplace_back([&, client] {
                    const auto body = json({{"token", tokenOf(client)}, {"nonce", nonce}}).dump();
                    start.arrive_and_wait();
                    const auto answer = postHandoff(body, extensionOrigin);
                    statuses.at(client) = answer.has_value() ? answer->status : 0;
                });
            }
        }
        ASSERT_EQ(std::count(statuses.begin(), statuses.end(), 204), 1) << trial;
        const auto winner = std::find(statuses.begin(), statuses.end(), 204) - statuses.begin();
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 403), handoffs - 1) << trial;
        EXPECT_EQ(session->currentToken(), tokenOf(static_cast<int>(winner))) << trial;
        EXPECT_EQ(session->keychain().read(), tokenOf(static_cast<int>(winner))) << trial;
    }
}

TEST_F(SignInEndToEndTest, BareTokenFromTheSiteNeedsAnOpenWindow) {
    const std::string body = std::string("\xC2\xA0 ") + token + "\xE2\x80\xA8\n";
    EXPECT_EQ(postHandoff(body, "https://zevra.example")->status, 403);
    ASSERT_TRUE(session->beginBrowserAuth().has_value());
    EXPECT_EQ(postHandoff(body, "https://zevra.example")->status, 204);
    EXPECT_EQ(session->currentToken(), token);
    // A bare token from anywhere else carries no nonce and is refused.
    ASSERT_TRUE(session->beginBrowserAuth().has_value());
    EXPECT_EQ(postHandoff(body, extensionOrigin)->status, 403);
}

TEST_F(SignInEndToEndTest, StatusRoutesAnswerOnlyTheLocalShell) {
    const struct {
        const char* what;
        std::string request;
    } cases[] = {
        {"status by POST", "POST /auth-bridge/status HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n" +
                               std::string(shellReferer) + "Content-Length: 0\r\n\r\n"},
        {"status without origin",
         "GET /auth-bridge/status HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n\r\n"},
        {"status from the site",
         "GET /auth-bridge/status HTTP/1.1\r\nHost: 127.0.0.1:18484\r\nOrigin: "
         "https://zevra.example\r\n\r\n"},
        {"auth status without origin",
         "GET /api/local-auth/status HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n\r\n"},
        {"auth status by POST", "POST /api/local-auth/status HTTP/1.1\r\nHost: "
                                "127.0.0.1:18484\r\nOrigin: http://127.0.0.1:18484\r\n\r\n"},
    };
    for (const auto& c : cases) {
        const auto answer = testing::exchangeRaw(port, c.request);
        ASSERT_TRUE(answer.has_value()) << c.what;
        EXPECT_EQ(answer->status, 403) << c.what;
        EXPECT_EQ(answer->body, R"({"ok":false})") << c.what;
        EXPECT_NE(answer->head.find("Content-Type: application/json"), std::string::npos);
    }
    const auto handoffByGet = testing::httpGet(port, "/auth-bridge");
    ASSERT_TRUE(handoffByGet.has_value());
    EXPECT_EQ(handoffByGet->status, 403);
    EXPECT_EQ(handoffByGet->body, "");
}

TEST_F(SignInEndToEndTest, LocalAuthStatusAsksTheSiteAndForgetsARejectedToken) {
    const testing::TemporaryFolder certificateFolder;
    const auto certificates =
        testing::makeTestCertificates(certificateFolder.path(), "zevra.example");
    const struct {
        const char* mode;
        json status;
        bool tokenKept;
    } cases[] = {
        {"named", {{"ok", true}, {"authenticated", true}, {"username", "ada"}}, true},
        {"server-error", {{"ok", true}, {"authenticated", true}, {"degraded", true}}, true},
        {"unauthorized", {{"ok", true}, {"authenticated", false}}, false},
    };
    for (const auto& c : cases) {
        const testing::IdentityEndpoint site(certificates, certificateFolder.path() / "log",
                                             c.mode);
        fixture.http =
            makeHttpClient(HttpClientOptions{.caFile = certificates.caFile.string(),
                                             .connectTo = {site.connectTo("zevra.example")}});
        startServer();
        ASSERT_TRUE(session->activateToken(token));
        const auto answer =
            testing::httpGet(port, "/api/local-auth/status", "Origin: http://localhost:18484\r\n");
        ASSERT_TRUE(answer.has_value()) << c.mode;
        EXPECT_EQ(answer->status, 200) << c.mode;
        EXPECT_EQ(json::parse(answer->body, nullptr, false), c.status) << c.mode;
        EXPECT_EQ(bridgeStatus()["authenticated"], c.tokenKept) << c.mode;
        EXPECT_EQ(session->keychain().read().has_value(), c.tokenKept) << c.mode;
    }
}

} // namespace
} // namespace zevra
