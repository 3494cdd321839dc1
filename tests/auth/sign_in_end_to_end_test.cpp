// Browser sign-in through the real loopback server, socket and keyring (the test run's own).
#include "auth/browser_session.h"
#include "server/local_server.h"

#include "support/local_server_options.h"
#include "support/loopback_client.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace zevra {
namespace {

constexpr const char* token = "0123456789abcdefABCDEF0123456789"; // stored in its letter case

TEST(SignInEndToEnd, ExtensionHandoffIsKeptInTheKeyringAcrossARestart) {
    testing::SessionFixture fixture;
    fixture.keyring = &processKeyring();
    fixture.version = testing::uniqueTestVersion();
    const testing::TemporaryFolder resources;
    const auto serve = [&](const std::shared_ptr<BrowserSession>& session) {
        auto server = std::make_unique<LocalServer>(testing::localServerOptions(
            resources.path(), fixture.clock, fixture.executor, session));
        EXPECT_TRUE(server->start());
        session->waitForStoredTokenLoad();
        return server;
    };
    auto session = fixture.makeSession();
    auto server = serve(session);
    EXPECT_EQ(session->currentToken(), std::nullopt);
    ASSERT_TRUE(session->activateToken(std::string(32, 'f'))); // an item the handoff replaces
    // Unicode line breaks around the nonce do not count.
    const auto nonce = "\xC2\x85" + *session->beginBrowserAuth() + "\xE2\x80\xA9";
    const auto body = nlohmann::json({{"token", token}, {"nonce", nonce}}).dump();
    const auto answer = testing::exchangeRaw(
        server->listeningPort().value_or(0),
        "POST /auth-bridge HTTP/1.1\r\nHost: 127.0.0.1:18484\r\nOrigin: "
        "chrome-extension://abcdefghijklmnopabcdefghijklmnop\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(answer.value_or(testing::HttpAnswer{}).status, 204);
    EXPECT_EQ(processKeyring().find(session->keychain().service(), "app-token"), token);

    server.reset();
    session = fixture.makeSession();
    server = serve(session);
    EXPECT_EQ(session->currentToken(), token);
    session->clearToken();
    EXPECT_EQ(processKeyring().find(session->keychain().service(), "app-token"), std::nullopt);
}

} // namespace
} // namespace zevra
