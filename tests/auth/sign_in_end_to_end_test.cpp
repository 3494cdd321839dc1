// Browser sign-in through the real loopback server, over real sockets and the real keyring.
#include "auth/browser_session.h"
#include "server/local_server.h"

#include "keyring_session.h"
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
constexpr const char* extension = "Origin: chrome-extension://abcdefghijklmnopabcdefghijklmnop";
constexpr const char* shellReferer = "Referer: http://127.0.0.1:18484/index.html";

std::string request(const std::string& method, const std::string& target,
                    const std::string& header = "", const std::string& body = "") {
    std::string text = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n";
    text += header.empty() ? "" : header + "\r\n";
    text += method == "POST" ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "";
    return text + "\r\n" + body;
}

std::string handoffBody(const std::string& nonce, const std::string& given = token) {
    return json({{"token", given}, {"nonce", nonce}}).dump();
}

class SignInEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEVRA_REQUIRE_KEYRING();
        fixture.keyring = &processKeyring();
        fixture.version = testing::uniqueTestVersion();
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
        server = std::make_unique<LocalServer>(LocalServerOptions{.resourcesPath = resources.path(),
                                                                  .port = 0,
                                                                  .clock = &fixture.clock,
                                                                  .session = session});
        ASSERT_TRUE(server->start());
        port = server->listeningPort().value_or(0);
        session->waitForStoredTokenLoad();
    }

    [[nodiscard]] testing::HttpAnswer exchange(const std::string& raw) const {
        return testing::exchangeRaw(port, raw).value_or(testing::HttpAnswer{});
    }
    [[nodiscard]] json bridgeStatus() const {
        const auto answer = exchange(request("GET", "/auth-bridge/status", shellReferer));
        EXPECT_EQ(answer.status, 200);
        return json::parse(answer.body, nullptr, false);
    }

    testing::SessionFixture fixture;
    testing::TemporaryFolder resources;
    std::shared_ptr<BrowserSession> session;
    std::unique_ptr<LocalServer> server;
    std::uint16_t port = 0;
};

TEST_F(SignInEndToEndTest, ExtensionCompletesTheSignInOnceAndARestartKeepsIt) {
    const auto nonce = *session->beginBrowserAuth();
    const auto page = exchange(request("GET", "/app-connect?nonce=" + nonce + "&automatic=1"));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.head.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    EXPECT_NE(page.body.find("<title>ZEVRA — connect app</title>"), std::string::npos);

    // Line breaks and spaces around the nonce, Unicode ones included, do not count.
    const auto body = handoffBody("\xC2\x85" + nonce + "\xE2\x80\xA9");
    const auto handoff = exchange(request("POST", "/auth-bridge", extension, body));
    EXPECT_EQ(handoff.status, 204);
    EXPECT_EQ(handoff.body, "");
    EXPECT_EQ(bridgeStatus(),
              json({{"ok", true}, {"authenticated", true}, {"handoff_ready", true}}));
    EXPECT_EQ(bridgeStatus()["handoff_ready"], false);
    EXPECT_EQ(session->keychain().read(), token);
    EXPECT_EQ(exchange(request("GET", "/app-connect?nonce=" + nonce)).status, 403);

    startServer();
    EXPECT_EQ(session->currentToken(), token);
    EXPECT_EQ(bridgeStatus()["handoff_ready"], false);
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
            for (int client = 0; client < handoffs; ++client) {
                clients.emplace_back([&, client] {
                    const auto raw = request("POST", "/auth-bridge", extension,
                                             handoffBody(nonce, tokenOf(client)));
                    start.arrive_and_wait();
                    statuses.at(client) = exchange(raw).status;
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

TEST_F(SignInEndToEndTest, LocalAuthStatusForgetsATokenTheSiteRejects) {
    ASSERT_TRUE(session->activateToken(token));
    fixture.site->answers(401);
    const auto answer =
        exchange(request("GET", "/api/local-auth/status", "Origin: http://localhost:18484"));
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(json::parse(answer.body, nullptr, false),
              json({{"ok", true}, {"authenticated", false}}));
    EXPECT_EQ(session->keychain().read(), std::nullopt);
}

} // namespace
} // namespace zevra
