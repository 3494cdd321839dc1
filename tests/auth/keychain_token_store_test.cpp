#include "auth/keychain_token_store.h"

#include "keyring_session.h"
#include "session_fixture.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

constexpr const char* mixedCaseToken = "0123456789abcdefABCDEF0123456789";
constexpr const char* otherToken = "ffffffffffffffffffffffffffffffff";

TEST(KeychainTokenStore, ServiceNamesThreePartVersionsAndDevOtherwise) {
    const std::pair<std::optional<std::string>, const char*> cases[] = {
        {"2.4.1", "2.4.1"}, {"10.0.12", "10.0.12"}, {"1.2", "dev"},    {"1.2.3-beta", "dev"},
        {"1.2.3.4", "dev"}, {"1..3", "dev"},        {" 1.2.3", "dev"}, {"1.2.3\n", "dev"},
        {"", "dev"},        {std::nullopt, "dev"},
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
    for (const std::string& malformed :
         {std::string(31, 'a'), std::string(33, 'a'), " " + std::string(32, 'a'),
          std::string(31, 'a') + "g", std::string(32, 'a') + "\n", std::string()}) {
        EXPECT_FALSE(store.save(malformed)) << malformed;
        EXPECT_EQ(store.read(), otherToken) << malformed;
    }
    // Items that are not tokens read as nothing and stay as they are.
    for (const std::string& stored :
         {std::string(mixedCaseToken) + "\n", std::string(mixedCaseToken).substr(1),
          std::string("\xff\xfe") + otherToken}) {
        ASSERT_TRUE(keyring.add(store.service(), "app-token", stored));
        EXPECT_EQ(store.read(), std::nullopt);
        EXPECT_EQ(keyring.find(store.service(), "app-token"), stored);
    }
    // The service follows the version on every use; versions never see each other's item.
    ASSERT_TRUE(store.save(mixedCaseToken));
    version = "2.0.1";
    EXPECT_EQ(store.read(), std::nullopt);
    ASSERT_TRUE(store.save(otherToken));
    store.deleteToken();
    version = "2.0.0";
    EXPECT_EQ(store.read(), mixedCaseToken);
}

TEST(KeychainTokenStoreKeyring, SavesReadsAndDeletesWithCaseKept) {
    ZEVRA_REQUIRE_KEYRING();
    const KeychainTokenStore store(processKeyring(),
                                   [version = testing::uniqueTestVersion()] { return version; });
    EXPECT_EQ(store.read(), std::nullopt);
    store.deleteToken(); // nothing there: no effect
    ASSERT_TRUE(store.save(otherToken));
    ASSERT_TRUE(store.save(mixedCaseToken));
    EXPECT_EQ(store.read(), mixedCaseToken);
    EXPECT_EQ(processKeyring().find(store.service(), "app-token"), mixedCaseToken);
    store.deleteToken();
    EXPECT_EQ(processKeyring().find(store.service(), "app-token"), std::nullopt);
}

// The store runs in a child process, so that it can be given an environment without a usable
// Secret Service and what the keyring library prints is seen.
TEST(KeychainTokenStoreKeyring, ProbesInProcessesOfTheirOwn) {
    ZEVRA_REQUIRE_KEYRING();
    const testing::TemporaryFolder home;
    const auto runtime = home.path() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::string probe = std::string(ZEVRA_BINARY_DIR) + "/tests/auth/zevra_keyring_probe";
    const std::string refused = "save=false read=none\n";
    const struct {
        const char* what;
        std::string script; // run by sh with $PROBE and $TOKEN set
        std::vector<std::string> environment, unset;
        std::string output;
        bool ownBus = false, quiet = false; // under a session bus of its own; nothing printed
    } cases[] = {
        // Saves from several threads at once are serialised: all succeed, GLib stays quiet.
        {"simultaneous saves",
         "exec \"$PROBE\" " + testing::uniqueTestVersion() + " $TOKEN 6 10",
         {},
         {},
         std::string("save=true read=") + mixedCaseToken + "\n",
         false,
         true},
        {"no session bus",
         "exec \"$PROBE\" 7.0.1 $TOKEN",
         {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + (home.path() / "no-bus").string(),
          "HOME=" + home.path().string()},
         {"DISPLAY", "WAYLAND_DISPLAY"},
         refused,
         false,
         true},
        // A keyring started without a password has no login collection: storing would need a
        // prompt to create one, which the store must never raise. The runtime folder is its
        // own, or the daemon would join the test run's keyring.
        {"no default collection",
         "/usr/bin/gnome-keyring-daemon --start --components=secrets </dev/null >/dev/null 2>&1;"
         " exec \"$PROBE\" 7.0.1 $TOKEN",
         {"HOME=" + home.path().string(), "XDG_DATA_HOME=" + (home.path() / "data").string(),
          "XDG_RUNTIME_DIR=" + runtime.string()},
         {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"},
         refused,
         true},
        // GLib aborts when it cannot make a main context; the keyring must give up quietly.
        {"no descriptors left",
         "ulimit -n 8; exec \"$PROBE\" " + testing::uniqueTestVersion() + " $TOKEN",
         {},
         {},
         refused},
    };
    for (const auto& c : cases) {
        testing::ProcessOptions options;
        options.environment = c.environment;
        options.environment.push_back("PROBE=" + probe);
        options.environment.push_back(std::string("TOKEN=") + mixedCaseToken);
        options.unsetEnvironment = c.unset;
        options.timeout = std::chrono::seconds(30);
        std::vector<std::string> argv = {"/bin/sh", "-c", c.script};
        if (c.ownBus) {
            argv.insert(argv.begin(), {"/usr/bin/dbus-run-session", "--"});
        }
        const auto result = testing::runProcess(argv, options);
        EXPECT_EQ(result.exitCode, 0) << c.what << ": " << result.standardError;
        EXPECT_EQ(result.standardOutput, c.output) << c.what;
        if (c.quiet) {
            EXPECT_EQ(result.standardError, "") << c.what;
        }
    }
}

} // namespace
} // namespace zevra
