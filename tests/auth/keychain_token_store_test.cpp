#include "auth/keychain_token_store.h"

#include "support/child_process.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

constexpr const char* token = "0123456789abcdefABCDEF0123456789";
constexpr const char* otherToken = "ffffffffffffffffffffffffffffffff";

TEST(KeychainTokenStore, ServiceNamesThreePartVersionsAndDevOtherwise) {
    const std::pair<std::optional<std::string>, const char*> cases[] = {
        {"2.4.1", "2.4.1"}, {"10.0.12", "10.0.12"}, {"1.2", "dev"},        {"1.2.3-beta", "dev"},
        {"1.2.3.4", "dev"}, {"1.2.3\n", "dev"},     {std::nullopt, "dev"},
    };
    for (const auto& [version, suffix] : cases) {
        EXPECT_EQ(KeychainTokenStore::serviceForVersion(version),
                  std::string("com.kelmor.zevra.session.") + suffix)
            << version.value_or("(missing)");
    }
}

TEST(KeychainTokenStore, KeepsOnlyWellFormedTokensPerVersion) {
    testing::MemoryKeyring keyring;
    std::string version = "2.0.0";
    const KeychainTokenStore store(keyring, [&version] { return version; });
    ASSERT_TRUE(store.save(otherToken));
    for (const std::string& malformed : {std::string(31, 'a'), std::string(33, 'a'),
                                         std::string(31, 'a') + "g", std::string(token) + "\n"}) {
        EXPECT_FALSE(store.save(malformed)) << malformed;
        EXPECT_EQ(store.read(), otherToken) << malformed;
    }
    // An item that is not a token reads as nothing and stays as it is.
    ASSERT_TRUE(keyring.add(store.service(), "app-token", std::string(token) + "\n"));
    EXPECT_EQ(store.read(), std::nullopt);
    EXPECT_EQ(keyring.find(store.service(), "app-token"), std::string(token) + "\n");
    // The service follows the version on every use; versions never see each other's item.
    ASSERT_TRUE(store.save(token));
    version = "2.0.1";
    EXPECT_EQ(store.read(), std::nullopt);
    ASSERT_TRUE(store.save(otherToken));
    store.deleteToken();
    version = "2.0.0";
    EXPECT_EQ(store.read(), token);
}

TEST(KeychainTokenStoreKeyring, ProbesInProcessesOfTheirOwn) {
    const testing::TemporaryFolder home;
    const testing::ProcessOptions options{
        .environment = {"PROBE=" ZEVRA_BINARY_DIR "/tests/auth/zevra_keyring_probe",
                        std::string("TOKEN=") + token, "HOME=" + home.path().string(),
                        "XDG_DATA_HOME=" + (home.path() / "data").string(),
                        "XDG_RUNTIME_DIR=" + (home.path() / "run").string()},
        .unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"},
        .standardInput = std::nullopt,
        .timeout = std::chrono::seconds(30)};
    const std::string refused = "save=false read=none\n";
    const struct {
        std::string script;
        std::string output;
        bool quiet; // nothing printed
    } cases[] = {
        // Saves from several threads at once are serialised: all succeed, GLib stays quiet.
        {"exec \"$PROBE\" $TOKEN " + testing::uniqueTestVersion() + " 6 10",
         std::string("save=true read=") + token + "\n", true},
        {"export DBUS_SESSION_BUS_ADDRESS=unix:path=$HOME/no-bus; exec \"$PROBE\" $TOKEN 7.0.1 1 1",
         refused, true},
        // A keyring started without a password has no login collection, and the store must never
        // prompt to create one. Its own runtime folder, or it would join the test run's keyring.
        {"mkdir -m 700 \"$XDG_RUNTIME_DIR\"; exec dbus-run-session -- sh -c 'gnome-keyring-daemon "
         "--start --components=secrets </dev/null >/dev/null 2>&1; exec \"$PROBE\" $TOKEN 7.0.1 1 "
         "1'",
         refused, false},
        // GLib aborts when it cannot make a main context; the keyring must give up quietly.
        {"ulimit -n 8; exec \"$PROBE\" $TOKEN " + testing::uniqueTestVersion() + " 1 1", refused,
         false},
    };
    for (const auto& c : cases) {
        const auto result = testing::runProcess({"/bin/sh", "-c", c.script}, options);
        EXPECT_EQ(result.exitCode, 0) << c.script << ": " << result.standardError;
        EXPECT_EQ(result.standardOutput, c.output) << c.script;
        EXPECT_TRUE(!c.quiet || result.standardError.empty()) << c.script << result.standardError;
    }
}

} // namespace
} // namespace zevra
