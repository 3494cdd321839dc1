#include "auth/browser_session.h"

#include "support/session_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Text = std::optional<std::string>;
constexpr const char* tokenA = "0123456789abcdefABCDEF0123456789";
constexpr const char* tokenB = "fedcba9876543210fedcba9876543210";
constexpr const char* site = "https://zevra.example";
constexpr const char* extension = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";

class BrowserSessionTest : public ::testing::Test {
protected:
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session = fixture.makeSession();

    [[nodiscard]] bool handoff(const std::string& token, const Text& nonce,
                               const Text& origin = extension) {
        return session->acceptBrowserHandoff(token, nonce, origin, std::nullopt);
    }
};

TEST_F(BrowserSessionTest, NoncesAreFreshLowercaseHexAndOnlyTheLatestIsPending) {
    const auto first = session->beginBrowserAuth().value_or("");
    const auto nonce = session->beginBrowserAuth().value_or("");
    EXPECT_THAT(nonce, ::testing::MatchesRegex("[0-9a-f]{64}"));
    EXPECT_FALSE(session->browserAuthIsPending(first));
    EXPECT_TRUE(session->browserAuthIsPending(nonce));
    fixture.random.failing = true;
    EXPECT_EQ(session->beginBrowserAuth(), std::nullopt);
    EXPECT_TRUE(session->browserAuthIsPending(nonce));
}

TEST_F(BrowserSessionTest, NonceRulesPerSenderWithinSixHundredSecondsInclusive) {
    EXPECT_FALSE(handoff(tokenA, std::nullopt, site)); // no sign-in begun
    enum Nonce { Right, Wrong, Absent, Empty };
    const std::tuple<Text, Nonce, std::chrono::milliseconds, bool> cases[] = {
        {site, Absent, 0s, true},
        {site, Right, 0s, true},
        {site, Wrong, 0s, false},
        {extension, Right, 0s, true},
        {extension, Wrong, 0s, false},
        {extension, Absent, 0s, false},
        {"http://127.0.0.1:18484", Right, 0s, true},
        {"http://127.0.0.1:18484", Empty, 0s, false},
        {std::nullopt, Right, 0s, false},
        {extension, Right, 600s, true},
        {extension, Right, 600s + 1ms, false},
    };
    for (const auto& [origin, which, elapsed, accepted] : cases) {
        const auto nonce = *session->beginBrowserAuth();
        fixture.clock.advance(elapsed);
        const bool open = elapsed <= 600s;
        const Text given[] = {nonce, std::string(64, '0'), std::nullopt, ""};
        SCOPED_TRACE(origin.value_or("-") + " " + std::to_string(which) + " " +
                     std::to_string(elapsed.count()));
        EXPECT_EQ(session->browserAuthIsPending(nonce), open);
        EXPECT_EQ(handoff(tokenA, given[which], origin), accepted);
        EXPECT_EQ(session->consumeBrowserHandoffReady(), accepted);
        EXPECT_EQ(session->browserAuthIsPending(nonce), open && !accepted);
    }
}

TEST_F(BrowserSessionTest, AcceptedHandoffActivatesStoresAndIsGoodOnce) {
    const auto nonce = *session->beginBrowserAuth();
    ASSERT_TRUE(handoff(tokenA, nonce));
    EXPECT_EQ(session->keychain().read(), tokenA);
    EXPECT_FALSE(handoff(tokenB, nonce));
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_TRUE(session->consumeBrowserHandoffReady());
    EXPECT_FALSE(session->consumeBrowserHandoffReady());
    // A new sign-in resets a handoff nobody reported yet.
    ASSERT_TRUE(handoff(tokenB, *session->beginBrowserAuth()));
    ASSERT_TRUE(session->beginBrowserAuth().has_value());
    EXPECT_FALSE(session->consumeBrowserHandoffReady());
}

TEST_F(BrowserSessionTest, RefusedTokensChangeNothingAndClearingForgetsEverywhere) {
    ASSERT_TRUE(session->activateToken(tokenA));
    const auto nonce = *session->beginBrowserAuth();
    EXPECT_FALSE(session->activateToken(std::string(31, 'a')));
    EXPECT_FALSE(handoff(std::string(31, 'a'), nonce));
    fixture.memoryKeyring.locked = true;
    EXPECT_FALSE(session->activateToken(tokenB));
    EXPECT_FALSE(handoff(tokenB, nonce));
    EXPECT_FALSE(session->consumeBrowserHandoffReady());
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_EQ(session->keychain().read(), tokenA);
    EXPECT_TRUE(session->browserAuthIsPending(nonce)); // the refused claim was given back

    fixture.memoryKeyring.locked = false;
    session->clearToken();
    EXPECT_EQ(session->currentToken(), std::nullopt);
    EXPECT_EQ(session->keychain().read(), std::nullopt);
    EXPECT_FALSE(handoff(tokenB, nonce)); // the sign-in is cancelled too
}

// Of several handoffs with one nonce at most one is taken, exactly one unless a clearing cancels
// the sign-in; memory and keyring agree afterwards, or a restart would switch accounts.
TEST_F(BrowserSessionTest, RacingHandoffsActivationsAndClearingKeepOneTokenInStep) {
    for (int trial = 0; trial < 1000; ++trial) {
        const bool clearing = trial % 2 == 1;
        const auto nonce = *session->beginBrowserAuth();
        std::atomic<int> accepted = 0;
        std::latch start(6);
        std::vector<std::jthread> callers;
        for (int caller = 0; caller < 6; ++caller) {
            callers.emplace_back([&, caller] {
                start.arrive_and_wait();
                const std::string token(32, static_cast<char>('0' + caller));
                if (caller == 0 && clearing) {
                    session->clearToken();
                } else if (caller == 1) {
                    static_cast<void>(session->activateToken(token));
                } else {
                    accepted += handoff(token, nonce) ? 1 : 0;
                }
            });
        }
        callers.clear(); // joins them
        ASSERT_TRUE(clearing ? accepted <= 1 : accepted == 1) << trial << ": " << accepted;
        ASSERT_EQ(session->currentToken(), session->keychain().read()) << trial;
    }
}

TEST(BrowserSessionStartup, LoadsTheStoredOrHandedOverToken) {
    // In the keyring, handed over by the update to this version, activated meanwhile: loaded.
    const std::tuple<Text, Text, Text, Text> cases[] = {
        {tokenA, {}, {}, tokenA},
        {{}, tokenA, {}, tokenA},
        {tokenA, tokenB, {}, tokenA},
        {{}, tokenA, tokenB, tokenB},
    };
    for (const auto& [inKeyring, handedOver, activated, expected] : cases) {
        testing::SessionFixture fixture;
        const auto session = fixture.makeSession();
        PendingSessionHandoffStore handoffs(fixture.support.path(), fixture.clock);
        ASSERT_TRUE(!inKeyring || session->keychain().save(*inKeyring));
        ASSERT_TRUE(!handedOver || handoffs.stage(*handedOver, "2.0.0"));
        ASSERT_TRUE(!activated || session->activateToken(*activated));
        session->loadStoredTokenInBackground();
        session->waitForStoredTokenLoad();
        const std::string what = inKeyring.value_or("-") + " " + handedOver.value_or("-");
        EXPECT_EQ(session->currentToken(), expected) << what;
        EXPECT_EQ(session->keychain().read(), expected) << what; // kept for this version
        EXPECT_FALSE(std::filesystem::exists(handoffs.fileURL())) << what;
    }
}

const json named = {{"ok", true}, {"authenticated", true}, {"username", "ada"}};
const json unnamed = {{"ok", true}, {"authenticated", true}, {"username", ""}};
const json degraded = {{"ok", true}, {"authenticated", true}, {"degraded", true}};
const json signedOut = {{"ok", true}, {"authenticated", false}};

TEST_F(BrowserSessionTest, IdentityAnswersDecideTheStatusAndTheToken) {
    // Status 0: no response at all. Signed in with tokenA; whether the token is kept.
    const std::tuple<int, const char*, bool, json, bool> cases[] = {
        {200, R"({"ok":true,"user":{"username":"ada","id":7}})", true, named, true},
        {200, R"({"ok":true,"user":{}})", true, unnamed, true},
        {200, R"({"ok":true,"user":"ada"})", true, degraded, true},
        {200, "welcome", true, degraded, true},
        {500, "", true, degraded, true},
        {0, "", true, degraded, true},
        {401, "", true, signedOut, false},
        {200, R"({"ok":true,"user":{"username":"ada"}})", false, named, false},
        {500, "", false, signedOut, false},
    };
    for (const auto& [status, body, signedIn, expected, tokenKept] : cases) {
        fixture.site->answer =
            status == 0 ? std::nullopt : std::optional(HttpClientResponse{status, {}, body});
        session->clearToken();
        ASSERT_TRUE(!signedIn || session->activateToken(tokenA));
        const auto nonce = *session->beginBrowserAuth();
        const std::string what = std::to_string(status) + " " + body;
        EXPECT_EQ(session->authenticationStatus(), expected) << what;
        const Text kept = tokenKept ? Text(tokenA) : std::nullopt;
        EXPECT_EQ(session->currentToken(), kept) << what;
        EXPECT_EQ(session->keychain().read(), kept) << what;
        // A rejected token also ends the sign-in in progress.
        EXPECT_EQ(session->browserAuthIsPending(nonce), !signedIn || tokenKept) << what;
    }
}

TEST_F(BrowserSessionTest, IdentityRequestCarriesTheTokenAndVersion) {
    fixture.identity.requestTimeout = 1234ms;
    session = fixture.makeSession();
    ASSERT_TRUE(session->activateToken(tokenA));
    static_cast<void>(session->authenticationStatus());
    session->clearToken();
    fixture.version.reset();
    static_cast<void>(session->authenticationStatus());

    const auto& sent = fixture.site->sent;
    ASSERT_EQ(sent.size(), 2u);
    using ::testing::Pair;
    EXPECT_EQ(sent[0].url, "https://zevra.example/api/identity/me");
    EXPECT_EQ(sent[0].timeout, 1234ms);
    EXPECT_THAT(sent[0].headers,
                ::testing::UnorderedElementsAre(
                    Pair("Authorization", std::string("Bearer ") + tokenA),
                    Pair("X-Zevra-Token", tokenA), Pair("User-Agent", "ZEVRA.app/2.0.0")));
    EXPECT_THAT(sent[1].headers, ::testing::ElementsAre(Pair("User-Agent", "ZEVRA.app/unknown")));
}

TEST_F(BrowserSessionTest, SiteThatNeverAnswersIsDegradedOnceTheWaitEnds) {
    fixture.identity.waitLimit = 0ms;
    session = fixture.makeSession();
    ASSERT_TRUE(session->activateToken(tokenA));
    fixture.site->answers(401);
    std::promise<void> gate;
    fixture.site->gate = gate.get_future().share();
    EXPECT_EQ(session->authenticationStatus(), degraded);
    gate.set_value(); // the late rejection is dropped
    EXPECT_EQ(session->currentToken(), tokenA);
}

} // namespace
} // namespace zevra
