#include "auth/keychain_token_store.h"

#include "keyring_session.h"
#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

constexpr const char* mixedCaseToken = "0123456789abcdefABCDEF0123456789";
constexpr const char* otherToken = "ffffffffffffffffffffffffffffffff";

KeychainTokenStore storeFor(const std::string& version) {
    return KeychainTokenStore(processKeyring(), [version] { return version; });
}

TEST(KeychainTokenStoreService, UsesThreePartVersionsAndDevOtherwise) {
    const struct {
        std::optional<std::string> version;
        const char* service;
    } cases[] = {
        {"2.4.1", "com.kelmor.zevra.session.2.4.1"},
        {"10.0.12", "com.kelmor.zevra.session.10.0.12"},
        {"1.2", "com.kelmor.zevra.session.dev"},
        {"1.2.3-beta", "com.kelmor.zevra.session.dev"},
        {"1.2.3.4", "com.kelmor.zevra.session.dev"},
        {"1..3", "com.kelmor.zevra.session.dev"},
        {" 1.2.3", "com.kelmor.zevra.session.dev"},
        {"1.2.3\n", "com.kelmor.zevra.session.dev"},
        {"", "com.kelmor.zevra.session.dev"},
        {std::nullopt, "com.kelmor.zevra.session.dev"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeychainTokenStore::serviceForVersion(c.version), c.service)
            << c.version.value_or("(missing)");
    }
}

TEST(KeychainTokenStore, SavesReadsAndDeletesWithCaseKept) {
    ZEVRA_REQUIRE_KEYRING();
    const auto store = storeFor(testing::uniqueTestVersion());
    EXPECT_EQ(store.read(), std::nullopt);
    store.deleteToken(); // nothing there: no effect, nothing reported

    ASSERT_TRUE(store.save(mixedCaseToken));
    EXPECT_EQ(store.read(), mixedCaseToken);
    EXPECT_EQ(processKeyring().find(store.service(), "app-token"), mixedCaseToken);

    ASSERT_TRUE(store.save(otherToken));
    EXPECT_EQ(store.read(), otherToken);

    store.deleteToken();
    EXPECT_EQ(store.read(), std::nullopt);
    EXPECT_EQ(processKeyring().find(store.service(), "app-token"), std::nullopt);
}

TEST(KeychainTokenStore, RefusesMalformedTokensAndKeepsTheStoredOne) {
    ZEVRA_REQUIRE_KEYRING();
    const auto store = storeFor(testing::uniqueTestVersion());
    ASSERT_TRUE(store.save(otherToken));
    const std::string malformed[] = {
        std::string(31, 'a'),
        std::string(33, 'a'),
        std::string(" ") + std::string(32, 'a'),
        std::string(32, 'a') + " ",
        std::string(31, 'a') + "g",
        std::string(32, 'a') + "\n",
        "",
    };
    for (const auto& token : malformed) {
        EXPECT_FALSE(store.save(token)) << '"' << token << '"';
        EXPECT_EQ(store.read(), otherToken) << '"' << token << '"';
    }
    store.deleteToken();
}

TEST(KeychainTokenStore, ReadsItemsThatAreNotTokensAsNothingAndLeavesThem) {
    ZEVRA_REQUIRE_KEYRING();
    const auto store = storeFor(testing::uniqueTestVersion());
    for (const std::string& stored :
         {std::string(mixedCaseToken) + "\n", std::string(" ") + mixedCaseToken,
          std::string(mixedCaseToken).substr(1), std::string("\xff\xfe") + otherToken}) {
        processKeyring().remove(store.service(), "app-token");
        ASSERT_TRUE(processKeyring().add(store.service(), "app-token", stored));
        EXPECT_EQ(store.read(), std::nullopt);
        EXPECT_EQ(processKeyring().find(store.service(), "app-token"), stored);
    }
    store.deleteToken();
}

TEST(KeychainTokenStore, VersionsNeverSeeEachOthersItem) {
    ZEVRA_REQUIRE_KEYRING();
    const auto older = storeFor(testing::uniqueTestVersion());
    const auto newer = storeFor(testing::uniqueTestVersion());
    ASSERT_NE(older.service(), newer.service());

    ASSERT_TRUE(older.save(mixedCaseToken));
    EXPECT_EQ(newer.read(), std::nullopt);
    ASSERT_TRUE(newer.save(otherToken));
    EXPECT_EQ(older.read(), mixedCaseToken);

    newer.deleteToken();
    EXPECT_EQ(older.read(), mixedCaseToken);
    older.deleteToken();
}

TEST(KeychainTokenStore, ComputesTheServiceOnEveryUse) {
    ZEVRA_REQUIRE_KEYRING();
    std::string version = testing::uniqueTestVersion();
    const KeychainTokenStore store(processKeyring(), [&version] { return version; });
    ASSERT_TRUE(store.save(mixedCaseToken));
    const std::string first = version;
    version = testing::uniqueTestVersion();
    EXPECT_EQ(store.read(), std::nullopt);
    version = first;
    EXPECT_EQ(store.read(), mixedCaseToken);
    store.deleteToken();
}

// In a child process, so that what the keyring library prints is seen.
TEST(KeychainTokenStore, SimultaneousSavesAllSucceedWithoutLibraryComplaints) {
    ZEVRA_REQUIRE_KEYRING();
    const std::string probe = std::string(ZEVRA_BINARY_DIR) + "/tests/auth/zevra_keyring_probe";
    const auto result =
        testing::runProcess({probe, testing::uniqueTestVersion(), mixedCaseToken, "6", "10"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput, std::string("save=true read=") + mixedCaseToken + "\n");
    EXPECT_EQ(result.standardError, "");
}

// The store runs in a child process whose environment has no usable Secret Service.
testing::ProcessResult runProbe(const std::vector<std::string>& prefix,
                                const testing::ProcessOptions& options) {
    std::vector<std::string> argv = prefix;
    argv.push_back(std::string(ZEVRA_BINARY_DIR) + "/tests/auth/zevra_keyring_probe");
    argv.push_back("7.0.1");
    argv.push_back(mixedCaseToken);
    return testing::runProcess(argv, options);
}

TEST(KeychainTokenStoreWithoutService, NoSessionBusBehavesLikeALockedKeychain) {
    const testing::TemporaryFolder home;
    testing::ProcessOptions options;
    options.environment = {"DBUS_SESSION_BUS_ADDRESS=unix:path=" +
                               (home.path() / "no-bus").string(),
                           "HOME=" + home.path().string()};
    options.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"};
    options.timeout = std::chrono::seconds(30);
    const auto result = runProbe({}, options);
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "save=false read=none\n");
    EXPECT_EQ(result.standardError, "");
}

TEST(KeychainTokenStoreWithoutService, KeyringWithoutDefaultCollectionRefusesWithoutPrompting) {
    // A keyring started without a password has no login collection: storing would need a
    // prompt to create one, which the store must never raise.
    const testing::TemporaryFolder home;
    testing::ProcessOptions options;
    // A runtime folder of its own too: the daemon would otherwise find the test run's keyring
    // through its control socket and join it.
    const auto runtime = home.path() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    options.environment = {"HOME=" + home.path().string(),
                           "XDG_DATA_HOME=" + (home.path() / "data").string(),
                           "XDG_RUNTIME_DIR=" + runtime.string()};
    options.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"};
    options.timeout = std::chrono::seconds(30);
    const std::string probe = std::string(ZEVRA_BINARY_DIR) + "/tests/auth/zevra_keyring_probe";
    const auto result =
        testing::runProcess({"/usr/bin/dbus-run-session", "--", "/bin/sh", "-c",
                             "/usr/bin/gnome-keyring-daemon --start --components=secrets "
                             "</dev/null >/dev/null 2>&1; exec \"" +
                                 probe + "\" 7.0.1 " + mixedCaseToken},
                            options);
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "save=false read=none\n");
}

TEST(KeychainTokenStoreWithoutService, NoDescriptorsLeftBehavesLikeALockedKeychain) {
    // GLib aborts when it cannot make a main context; the keyring must give up quietly instead.
    ZEVRA_REQUIRE_KEYRING();
    const std::string probe = std::string(ZEVRA_BINARY_DIR) + "/tests/auth/zevra_keyring_probe";
    const auto result =
        testing::runProcess({"/bin/sh", "-c",
                             "ulimit -n 8; exec \"" + probe + "\" " + testing::uniqueTestVersion() +
                                 " " + mixedCaseToken});
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "save=false read=none\n");
}

} // namespace
} // namespace zevra
