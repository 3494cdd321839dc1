#include "auth/browser_session.h"

#include "session_fixture.h"
#include "support/memory_keyring.h"

#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;
constexpr const char* tokenA = "0123456789abcdefABCDEF0123456789";
constexpr const char* tokenB = "fedcba9876543210fedcba9876543210";
constexpr const char* extensionOrigin = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";

bool isLowercaseHex64(const std::string& nonce) {
    return nonce.size() == 64 && nonce.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string upper(std::string text) {
    for (auto& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

using BrowserSessionTest = testing::KeyringSessionTest;

TEST_F(BrowserSessionTest, NoncesAreFreshAndOnlyTheLatestIsPending) {
    std::set<std::string> seen;
    std::string latest;
    for (int i = 0; i < 20; ++i) {
        const auto nonce = session->beginBrowserAuth();
        ASSERT_TRUE(nonce.has_value());
        EXPECT_TRUE(isLowercaseHex64(*nonce)) << *nonce;
        if (!latest.empty()) {
            EXPECT_FALSE(session->browserAuthIsPending(latest));
        }
        EXPECT_TRUE(session->browserAuthIsPending(*nonce));
        seen.insert(*nonce);
        latest = *nonce;
    }
    EXPECT_EQ(seen.size(), 20u);
    EXPECT_FALSE(session->browserAuthIsPending(upper(latest)));
    EXPECT_FALSE(session->browserAuthIsPending(""));
}

TEST_F(BrowserSessionTest, WindowLastsSixHundredSecondsInclusive) {
    const struct {
        std::chrono::milliseconds elapsed;
        bool open;
    } cases[] = {{599s, true}, {600s, true}, {600s + 1ms, false}};
    for (const auto& c : cases) {
        const auto nonce = *session->beginBrowserAuth();
        fixture.clock.advance(c.elapsed);
        EXPECT_EQ(session->browserAuthIsPending(nonce), c.open) << c.elapsed.count();
        EXPECT_EQ(session->acceptBrowserHandoff(tokenA, nonce, extensionOrigin, std::nullopt),
                  c.open)
            << c.elapsed.count();
        EXPECT_EQ(session->consumeBrowserHandoffReady(), c.open) << c.elapsed.count();
    }
}

using testing::MemoryKeyring;

TEST(BrowserSessionRaces, ActivationsAndClearingKeepTheKeyringInStep) {
    testing::SessionFixture fixture;
    MemoryKeyring keyring;
    fixture.keyring = &keyring;
    const auto session = fixture.makeSession();
    constexpr int callers = 4;
    int mismatches = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        std::latch start(callers);
        {
            std::vector<std::jthread> threads;
            threads.reserve(callers);
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

TEST_F(BrowserSessionTest, RandomFailureLeavesTheSignInAsItWas) {
    const auto nonce = *session->beginBrowserAuth();
    fixture.random.failing = true;
    EXPECT_EQ(session->beginBrowserAuth(), std::nullopt);
    EXPECT_TRUE(session->browserAuthIsPending(nonce));
}

TEST_F(BrowserSessionTest, HandoffOriginRules) {
    struct Case {
        const char* what;
        std::optional<std::string> origin;
        std::optional<std::string> referer;
        enum { RightNonce, WrongNonce, NoNonce, EmptyNonce } nonce;
        bool accepted;
    };
    const Case cases[] = {
        {"site, no nonce", "https://zevra.example", std::nullopt, Case::NoNonce, true},
        {"site, empty nonce", "https://zevra.example", std::nullopt, Case::EmptyNonce, true},
        {"site, right nonce", "https://zevra.example", std::nullopt, Case::RightNonce, true},
        {"site, wrong nonce", "https://zevra.example", std::nullopt, Case::WrongNonce, false},
        {"www site", "https://www.zevra.example", std::nullopt, Case::NoNonce, true},
        {"site referer", std::nullopt, "https://www.zevra.example/ext-signin", Case::NoNonce, true},
        {"site referer without slash", std::nullopt, "https://zevra.example", Case::NoNonce, false},
        {"site with trailing slash", "https://zevra.example/", std::nullopt, Case::NoNonce, false},
        {"site with port", "https://zevra.example:443", std::nullopt, Case::NoNonce, false},
        {"site over http", "http://zevra.example", std::nullopt, Case::NoNonce, false},
        {"look-alike host", "https://zevra.example.evil", std::nullopt, Case::NoNonce, false},
        {"site in capitals", "https://ZEVRA.example", std::nullopt, Case::NoNonce, false},
        {"extension, right nonce", extensionOrigin, std::nullopt, Case::RightNonce, true},
        {"extension, wrong nonce", extensionOrigin, std::nullopt, Case::WrongNonce, false},
        {"extension, no nonce", extensionOrigin, std::nullopt, Case::NoNonce, false},
        {"extension id with q", "chrome-extension://abcdefghijklmnopabcdefghijklmnoq", std::nullopt,
         Case::RightNonce, false},
        {"extension id of 31", "chrome-extension://abcdefghijklmnopabcdefghijklmno", std::nullopt,
         Case::RightNonce, false},
        {"extension id in capitals", "chrome-extension://ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP",
         std::nullopt, Case::RightNonce, false},
        {"connect page origin", "http://127.0.0.1:18484", std::nullopt, Case::RightNonce, true},
        {"connect page referer", std::nullopt, "http://localhost:18484/app-connect?nonce=0123",
         Case::RightNonce, true},
        {"connect page, wrong nonce", "http://localhost:18484", std::nullopt, Case::WrongNonce,
         false},
        {"other loopback port", "http://127.0.0.1:18485", std::nullopt, Case::RightNonce, false},
        {"shell referer elsewhere", std::nullopt, "http://127.0.0.1:18484/index.html",
         Case::RightNonce, false},
        {"no headers", std::nullopt, std::nullopt, Case::RightNonce, false},
        {"null origin", "null", std::nullopt, Case::RightNonce, false},
    };
    for (const auto& c : cases) {
        const auto nonce = *session->beginBrowserAuth();
        std::optional<std::string> given;
        switch (c.nonce) {
        case Case::RightNonce:
            given = nonce;
            break;
        case Case::WrongNonce:
            given = std::string(64, '0');
            break;
        case Case::NoNonce:
            break;
        case Case::EmptyNonce:
            given = "";
            break;
        }
        EXPECT_EQ(session->acceptBrowserHandoff(tokenA, given, c.origin, c.referer), c.accepted)
            << c.what;
        EXPECT_EQ(session->consumeBrowserHandoffReady(), c.accepted) << c.what;
        EXPECT_EQ(session->browserAuthIsPending(nonce), !c.accepted) << c.what;
    }
}

TEST_F(BrowserSessionTest, SiteHandoffNeedsAnOpenWindow) {
    EXPECT_FALSE(
        session->acceptBrowserHandoff(tokenA, std::nullopt, "https://zevra.example", std::nullopt));
    ASSERT_TRUE(session->beginBrowserAuth().has_value());
    fixture.clock.advance(601s);
    EXPECT_FALSE(
        session->acceptBrowserHandoff(tokenA, std::nullopt, "https://zevra.example", std::nullopt));
    EXPECT_EQ(session->currentToken(), std::nullopt);
    EXPECT_EQ(session->keychain().read(), std::nullopt);
}

TEST_F(BrowserSessionTest, AcceptedHandoffActivatesStoresAndIsGoodOnce) {
    const auto nonce = *session->beginBrowserAuth();
    ASSERT_TRUE(session->acceptBrowserHandoff(tokenA, nonce, extensionOrigin, std::nullopt));
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_EQ(session->keychain().read(), tokenA);
    EXPECT_FALSE(session->browserAuthIsPending(nonce));
    EXPECT_FALSE(session->acceptBrowserHandoff(tokenB, nonce, extensionOrigin, std::nullopt));
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_TRUE(session->consumeBrowserHandoffReady());
    EXPECT_FALSE(session->consumeBrowserHandoffReady());
}

TEST_F(BrowserSessionTest, NewSignInResetsAnUnreportedHandoff) {
    const auto nonce = *session->beginBrowserAuth();
    ASSERT_TRUE(session->acceptBrowserHandoff(tokenA, nonce, extensionOrigin, std::nullopt));
    ASSERT_TRUE(session->beginBrowserAuth().has_value());
    EXPECT_FALSE(session->consumeBrowserHandoffReady());
    EXPECT_EQ(session->currentToken(), tokenA);
}

TEST_F(BrowserSessionTest, MalformedTokensChangeNothing) {
    ASSERT_TRUE(session->activateToken(tokenA));
    const auto nonce = *session->beginBrowserAuth();
    for (const std::string& token :
         {std::string(31, 'a'), std::string(tokenB) + "\n", std::string(32, 'g'), std::string()}) {
        EXPECT_FALSE(session->activateToken(token));
        EXPECT_FALSE(session->acceptBrowserHandoff(token, nonce, extensionOrigin, std::nullopt));
    }
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_EQ(session->keychain().read(), tokenA);
    EXPECT_TRUE(session->browserAuthIsPending(nonce));
}

TEST_F(BrowserSessionTest, ClearTokenForgetsEverywhereAndCancelsTheSignIn) {
    ASSERT_TRUE(session->activateToken(tokenA));
    const auto nonce = *session->beginBrowserAuth();
    session->clearToken();
    EXPECT_EQ(session->currentToken(), std::nullopt);
    EXPECT_EQ(session->keychain().read(), std::nullopt);
    EXPECT_FALSE(session->browserAuthIsPending(nonce));
    EXPECT_FALSE(session->acceptBrowserHandoff(tokenB, nonce, extensionOrigin, std::nullopt));
}

TEST(BrowserSessionLockedKeyring, RefusedTokenKeepsTheSignInPending) {
    testing::SessionFixture fixture;
    MemoryKeyring locked(true);
    fixture.keyring = &locked;
    const auto session = fixture.makeSession();
    const auto nonce = *session->beginBrowserAuth();
    EXPECT_FALSE(session->activateToken(tokenA));
    EXPECT_FALSE(session->acceptBrowserHandoff(tokenA, nonce, extensionOrigin, std::nullopt));
    EXPECT_EQ(session->currentToken(), std::nullopt);
    EXPECT_TRUE(session->browserAuthIsPending(nonce));
    EXPECT_FALSE(session->consumeBrowserHandoffReady());
}

class StartupLoadTest : public BrowserSessionTest {
protected:
    [[nodiscard]] PendingSessionHandoffStore handoff() const {
        return PendingSessionHandoffStore(fixture.support.path(), fixture.clock);
    }
    void load() {
        session->loadStoredTokenInBackground();
        session->waitForStoredTokenLoad();
    }
};

TEST_F(StartupLoadTest, NothingStoredLeavesTheSessionSignedOut) {
    load();
    EXPECT_EQ(session->currentToken(), std::nullopt);
    EXPECT_EQ(session->keychain().read(), std::nullopt);
}

TEST_F(StartupLoadTest, KeyringTokenIsActivated) {
    ASSERT_TRUE(session->keychain().save(tokenA));
    load();
    EXPECT_EQ(session->currentToken(), tokenA);
}

TEST_F(StartupLoadTest, HandedOverTokenIsActivatedAndKeptInThisVersionsItem) {
    ASSERT_TRUE(handoff().stage(tokenA, fixture.version));
    load();
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_EQ(session->keychain().read(), tokenA);
    EXPECT_FALSE(std::filesystem::exists(handoff().fileURL()));
}

TEST_F(StartupLoadTest, StoredTokenWinsOverAHandedOverOneAndIsSavedAgain) {
    ASSERT_TRUE(session->keychain().save(tokenA));
    ASSERT_TRUE(handoff().stage(tokenB, fixture.version));
    load();
    EXPECT_EQ(session->currentToken(), tokenA);
    EXPECT_EQ(session->keychain().read(), tokenA);
    EXPECT_FALSE(std::filesystem::exists(handoff().fileURL()));
}

TEST_F(StartupLoadTest, HandoffForAnotherVersionIsDroppedUnused) {
    ASSERT_TRUE(handoff().stage(tokenB, "1.0.0"));
    load();
    EXPECT_EQ(session->currentToken(), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(handoff().fileURL()));
}

TEST_F(StartupLoadTest, NeverReplacesATokenActivatedMeanwhile) {
    ASSERT_TRUE(handoff().stage(tokenA, fixture.version));
    ASSERT_TRUE(session->activateToken(tokenB));
    load();
    EXPECT_EQ(session->currentToken(), tokenB);
    EXPECT_EQ(session->keychain().read(), tokenB);
}

} // namespace
} // namespace zevra
