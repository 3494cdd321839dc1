#include "auth/browser_session.h"

#include "session_fixture.h"

#include <gtest/gtest.h>

#include <future>
#include <latch>
#include <set>
#include <thread>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
constexpr const char* tokenA = "0123456789abcdefABCDEF0123456789";
constexpr const char* tokenB = "fedcba9876543210fedcba9876543210";
constexpr const char* site = "https://zevra.example";
constexpr const char* extension = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";

class BrowserSessionTest : public ::testing::Test {
protected:
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session = fixture.makeSession();

    [[nodiscard]] bool handoff(const std::string& token, const std::optional<std::string>& nonce,
                               const std::optional<std::string>& origin = extension) {
        return session->acceptBrowserHandoff(token, nonce, origin, std::nullopt);
    }
};

TEST_F(BrowserSessionTest, NoncesAreFreshLowercaseHexAndOnlyTheLatestIsPending) {
    std::set<std::string> seen;
    std::string previous;
    for (int i = 0; i < 10; ++i) {
        const auto nonce = session->beginBrowserAuth().value_or("");
        EXPECT_EQ(nonce.find_first_not_of("0123456789abcdef"), std::string::npos) << nonce;
        EXPECT_EQ(nonce.size(), 64u);
        EXPECT_TRUE(session->browserAuthIsPending(nonce));
        EXPECT_FALSE(session->browserAuthIsPending(previous));
        seen.insert(nonce);
        previous = nonce;
    }
    EXPECT_EQ(seen.size(), 10u);
    fixture.random.failing = true;
    EXPECT_EQ(session->beginBrowserAuth(), std::nullopt);
    EXPECT_TRUE(session->browserAuthIsPending(previous));
}

TEST_F(BrowserSessionTest, WindowLastsSixHundredSecondsInclusive) {
    EXPECT_FALSE(handoff(tokenA, std::nullopt, site)); // no sign-in begun
    const std::pair<std::chrono::milliseconds, bool> cases[] = {
        {599s, true}, {600s, true}, {600s + 1ms, false}};
    for (const auto& [elapsed, open] : cases) {
        const auto nonce = *session->beginBrowserAuth();
        fixture.clock.advance(elapsed);
        EXPECT_EQ(session->browserAuthIsPending(nonce), open) << elapsed.count();
        EXPECT_EQ(handoff(tokenA, nonce), open) << elapsed.count();
        EXPECT_EQ(session->consumeBrowserHandoffReady(), open) << elapsed.count();
    }
}

// Which nonce each sender must bring; where a request comes from is decided by the origin rules.
TEST_F(BrowserSessionTest, HandoffNonceRulesPerSender) {
    enum Nonce { Right, Wrong, Absent, Empty };
    const struct {
        std::optional<std::string> origin;
        std::optional<std::string> referer;
        Nonce nonce;
        bool accepted;
    } cases[] = {
        {site, std::nullopt, Absent, true},
        {site, std::nullopt, Empty, true},
        {site, std::nullopt, Right, true},
        {site, std::nullopt, Wrong, false},
        {std::nullopt, "https://zevra.example/x", Absent, true},
        {extension, std::nullopt, Right, true},
        {extension, std::nullopt, Wrong, false},
        {extension, std::nullopt, Absent, false},
        {"http://127.0.0.1:18484", std::nullopt, Right, true},
        {"http://127.0.0.1:18484", std::nullopt, Empty, false},
        {std::nullopt, "http://localhost:18484/app-connect", Wrong, false},
        {std::nullopt, std::nullopt, Right, false},
    };
    for (const auto& c : cases) {
        const auto nonce = *session->beginBrowserAuth();
        const std::optional<std::string> given[] = {nonce, std::string(64, '0'), std::nullopt, ""};
        const std::string what = c.origin.value_or("-") + " " + std::to_string(c.nonce);
        EXPECT_EQ(session->acceptBrowserHandoff(tokenA, given[c.nonce], c.origin, c.referer),
                  c.accepted)
            << what;
        EXPECT_EQ(session->consumeBrowserHandoffReady(), c.accepted) << what;
        EXPECT_EQ(session->browserAuthIsPending(nonce), !c.accepted) << what;
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

TEST_F(BrowserSessionTest, MalformedOrRefusedTokensChangeNothing) {
    ASSERT_TRUE(session->activateToken(tokenA));
    const auto nonce = *session->beginBrowserAuth();
    for (const std::string& token : {std::string(31, 'a'), std::string(tokenB) + "\n"}) {
        EXPECT_FALSE(session->activateToken(token));
        EXPECT_FALSE(handoff(token, nonce));
    }
    fixture.memoryKeyring.locked = true;
    EXPECT_FALSE(session->activateToken(tokenB));
    EXPECT_FALSE(handoff(tokenB, nonce));
    EXPECT_FALSE(session->consumeBrowserHandoffReady());
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_EQ(session->keychain().read(), tokenA);
    EXPECT_TRUE(session->browserAuthIsPending(nonce)); // the refused claim was given back
}

TEST_F(BrowserSessionTest, ClearTokenForgetsEverywhereAndCancelsTheSignIn) {
    ASSERT_TRUE(session->activateToken(tokenA));
    const auto nonce = *session->beginBrowserAuth();
    session->clearToken();
    EXPECT_EQ(session->currentToken(), std::nullopt);
    EXPECT_EQ(session->keychain().read(), std::nullopt);
    EXPECT_FALSE(handoff(tokenB, nonce));
}

TEST_F(BrowserSessionTest, ActivationsAndClearingKeepTheKeyringInStep) {
    constexpr int callers = 4;
    int mismatches = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        std::latch start(callers);
        {
            std::vector<std::jthread> threads;
            for (int caller = 0; caller < callers; ++caller) {
                threads.emplace_back([&, caller] {
                    start.arrive_and_wait();
                    if (caller == 0) {
                        session->clearToken();
                        return;
                    }
                    static_cast<void>(
                        session->activateToken(std::string(32, static_cast<char>('0' + caller))));
                });
            }
        }
        mismatches += session->currentToken() != session->keychain().read() ? 1 : 0;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(BrowserSessionStartup, LoadsTheStoredOrHandedOverToken) {
    const std::optional<std::string> none;
    const struct {
        const char* what;
        std::optional<std::string> inKeyring, handedOver;
        std::string handoffVersion;
        std::optional<std::string> activatedMeanwhile, expected;
    } cases[] = {
        {"nothing stored", none, none, "", none, none},
        {"keyring token", tokenA, none, "", none, tokenA},
        {"handed over", none, tokenA, "2.0.0", none, tokenA},
        {"keyring wins", tokenA, tokenB, "2.0.0", none, tokenA},
        {"other version's handoff", none, tokenB, "1.0.0", none, none},
        {"activated meanwhile", none, tokenA, "2.0.0", tokenB, tokenB},
    };
    for (const auto& c : cases) {
        testing::SessionFixture fixture;
        const auto session = fixture.makeSession();
        PendingSessionHandoffStore handoffs(fixture.support.path(), fixture.clock);
        if (c.inKeyring) {
            ASSERT_TRUE(session->keychain().save(*c.inKeyring));
        }
        if (c.handedOver) {
            ASSERT_TRUE(handoffs.stage(*c.handedOver, c.handoffVersion));
        }
        if (c.activatedMeanwhile) {
            ASSERT_TRUE(session->activateToken(*c.activatedMeanwhile));
        }
        session->loadStoredTokenInBackground();
        session->waitForStoredTokenLoad();
        EXPECT_EQ(session->currentToken(), c.expected) << c.what;
        EXPECT_EQ(session->keychain().read(), c.expected) << c.what; // kept for this version
        EXPECT_FALSE(std::filesystem::exists(handoffs.fileURL())) << c.what;
    }
}

const json named = {{"ok", true}, {"authenticated", true}, {"username", "ada"}};
const json unnamed = {{"ok", true}, {"authenticated", true}, {"username", ""}};
const json degraded = {{"ok", true}, {"authenticated", true}, {"degraded", true}};
const json signedOut = {{"ok", true}, {"authenticated", false}};

TEST_F(BrowserSessionTest, IdentityAnswersDecideTheStatusAndTheToken) {
    const struct {
        int status; // 0: no response at all
        const char* body;
        bool signedIn;
        json expected;
        bool tokenKept;
    } cases[] = {
        {200, R"({"ok":true,"user":{"username":"ada","id":7}})", true, named, true},
        {200, R"({"ok":true,"user":{}})", true, unnamed, true},
        {200, R"({"ok":true,"user":{"username":42}})", true, unnamed, true},
        {200, R"({"ok":true,"user":"ada"})", true, degraded, true},
        {200, R"({"ok":"true","user":{}})", true, degraded, true},
        {200, "welcome", true, degraded, true},
        {200, "", true, degraded, true},
        {302, "", true, degraded, true},
        {500, "", true, degraded, true},
        {0, "", true, degraded, true},
        {401, "", true, signedOut, false},
        {403, "", true, signedOut, false},
        {200, R"({"ok":true,"user":{"username":"ada"}})", false, named, false},
        {401, "", false, signedOut, false},
        {500, "", false, signedOut, false},
        {0, "", false, signedOut, false},
    };
    for (const auto& c : cases) {
        fixture.site->answer.reset();
        if (c.status != 0) {
            fixture.site->answers(c.status, c.body);
        }
        session->clearToken();
        if (c.signedIn) {
            ASSERT_TRUE(session->activateToken(tokenA));
        }
        const auto nonce = *session->beginBrowserAuth();
        const std::string what = std::to_string(c.status) + " " + c.body;
        EXPECT_EQ(session->authenticationStatus(), c.expected) << what;
        const auto kept = c.tokenKept ? std::optional<std::string>(tokenA) : std::nullopt;
        EXPECT_EQ(session->currentToken(), kept) << what;
        EXPECT_EQ(session->keychain().read(), kept) << what;
        // A rejected token also ends the sign-in in progress.
        EXPECT_EQ(session->browserAuthIsPending(nonce), !c.signedIn || c.tokenKept) << what;
    }
}

TEST_F(BrowserSessionTest, IdentityRequestCarriesTheTokenAndVersion) {
    const auto header = [](const HttpClientRequest& request, const std::string& name) {
        for (const auto& [key, value] : request.headers) {
            if (key == name) {
                return std::optional(value);
            }
        }
        return std::optional<std::string>();
    };
    fixture.identity.requestTimeout = 1234ms;
    session = fixture.makeSession();
    ASSERT_TRUE(session->activateToken(tokenA));
    static_cast<void>(session->authenticationStatus());
    session->clearToken();
    fixture.version.reset();
    static_cast<void>(session->authenticationStatus());

    const auto sent = fixture.site->sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].url, "https://zevra.example/api/identity/me");
    EXPECT_EQ(sent[0].timeout, 1234ms);
    EXPECT_EQ(header(sent[0], "Authorization"), std::string("Bearer ") + tokenA);
    EXPECT_EQ(header(sent[0], "X-Zevra-Token"), tokenA);
    EXPECT_EQ(header(sent[0], "User-Agent"), "ZEVRA.app/2.0.0");
    EXPECT_EQ(header(sent[1], "Authorization"), std::nullopt);
    EXPECT_EQ(header(sent[1], "X-Zevra-Token"), std::nullopt);
    EXPECT_EQ(header(sent[1], "User-Agent"), "ZEVRA.app/unknown");
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
