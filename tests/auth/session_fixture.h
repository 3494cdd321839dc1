#pragma once

#include "auth/browser_session.h"
#include "keyring_session.h"
#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace zevra::testing {

// A random generator that can be told to fail.
class SwitchableRandom final : public SecureRandom {
public:
    bool failing = false;
    bool fill(std::span<std::byte> bytes) override {
        return !failing && processSecureRandom().fill(bytes);
    }
};

// A BrowserSession over the real keyring (an item of its own version), a private
// application-support folder and a hand-moved clock.
struct SessionFixture {
    TemporaryFolder support;
    ManualClock clock;
    SwitchableRandom random;
    std::string version = uniqueTestVersion();
    std::shared_ptr<HttpClient> http = makeHttpClient();
    IdentityCheckSettings identity{.siteHost = "zevra.example"};
    Keyring* keyring = &processKeyring();

    [[nodiscard]] std::shared_ptr<BrowserSession> makeSession() {
        return std::make_shared<BrowserSession>(BrowserSessionServices{
            .keyring = *keyring,
            .version = [v = version] { return std::optional<std::string>(v); },
            .applicationSupportFolder = support.path(),
            .clock = clock,
            .random = random,
            .http = http,
            .identity = identity,
        });
    }
};

// A test with one such session; its keyring item is removed afterwards.
class KeyringSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEVRA_REQUIRE_KEYRING();
        session = fixture.makeSession();
    }
    void TearDown() override {
        if (session != nullptr) {
            session->keychain().deleteToken();
        }
    }
    SessionFixture fixture;
    std::shared_ptr<BrowserSession> session;
};

} // namespace zevra::testing
