#include "auth/pending_session_handoff_store.h"
#include "base/unique_fd.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>

namespace zevra {
namespace {

namespace fs = std::filesystem;
constexpr const char* token = "0123456789abcdefABCDEF0123456789";

class PendingSessionHandoffStoreTest : public ::testing::Test {
protected:
    testing::TemporaryFolder home;
    testing::ManualClock clock;
    fs::path folder = home.path() / "share" / "ZEVRA";
    PendingSessionHandoffStore store{folder, clock};

    [[nodiscard]] nlohmann::json entry(double expiresIn = 300) const {
        const double now = std::chrono::duration<double>(clock.now().time_since_epoch()).count();
        return {{"schema", "zevra-update-session-handoff-v1"},
                {"expected_version", "2.0.0"},
                {"expires_at", now + expiresIn},
                {"token", token}};
    }
};

TEST_F(PendingSessionHandoffStoreTest, StagedTokenIsPrivateAndTakenOnceByItsVersion) {
    fs::create_directories(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    ASSERT_TRUE(store.stage(std::string(32, 'b'), "1.0.0"));
    ASSERT_TRUE(store.stage(token, "2.0.0"));
    EXPECT_EQ(store.fileURL(), folder / "pending-session-handoff.json");
    EXPECT_EQ(fs::symlink_status(folder).permissions(), fs::perms(0700));
    EXPECT_EQ(fs::symlink_status(store.fileURL()).permissions(), fs::perms(0600));
    EXPECT_EQ(nlohmann::json::parse(testing::readFile(store.fileURL())), entry());

    clock.advance(std::chrono::seconds(299));
    EXPECT_EQ(store.consume("2.0.0"), token);
    EXPECT_TRUE(fs::is_empty(folder)); // no temporary file left behind
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
}

TEST_F(PendingSessionHandoffStoreTest, StageRefusesBadInputWithoutTouchingTheDisk) {
    EXPECT_FALSE(store.stage(std::string(31, 'a'), "2.0.0"));
    EXPECT_FALSE(store.stage(token, "2.0.0-beta"));
    EXPECT_FALSE(fs::exists(folder));
    home.write("share", "a file where the folder should be");
    EXPECT_FALSE(store.stage(token, "2.0.0"));
}

TEST_F(PendingSessionHandoffStoreTest, ConsumeTakesOnlyAFreshPrivateEntryAndAlwaysDeletes) {
    const auto with = [this](const nlohmann::json& mergePatch) {
        auto changed = entry();
        changed.merge_patch(mergePatch);
        return changed.dump();
    };
    auto oneKilobyte = entry().dump();
    oneKilobyte.insert(oneKilobyte.size() - 1, std::string(1024 - oneKilobyte.size(), ' '));
    const std::tuple<const char*, std::string, mode_t, bool> cases[] = {
        {"valid", entry().dump(), 0600, true},
        {"another version", with({{"expected_version", "1.9.0"}}), 0600, false},
        {"expired half a second ago", entry(-0.5).dump(), 0600, false},
        {"expires now", entry(0).dump(), 0600, true},
        {"five seconds of clock slack", entry(305).dump(), 0600, true},
        {"beyond the slack", entry(305.5).dump(), 0600, false},
        {"group readable", entry().dump(), 0640, false},
        {"exactly 1024 bytes", oneKilobyte, 0600, true},
        {"over 1024 bytes", oneKilobyte + " ", 0600, false},
        {"not JSON", "{\"schema\":", 0600, false},
        {"another schema", with({{"schema", "zevra-update-session-handoff-v2"}}), 0600, false},
        {"short token", with({{"token", std::string(31, 'a')}}), 0600, false},
    };
    fs::create_directories(folder);
    for (const auto& [what, contents, mode, accepted] : cases) {
        home.write("share/ZEVRA/pending-session-handoff.json", contents);
        ASSERT_EQ(::chmod(store.fileURL().c_str(), mode), 0);
        EXPECT_EQ(store.consume("2.0.0").has_value(), accepted) << what;
        EXPECT_FALSE(fs::exists(fs::symlink_status(store.fileURL()))) << what;
    }
}

TEST_F(PendingSessionHandoffStoreTest, SymbolicLinksAndFoldersAreRefusedAndRemoved) {
    const auto target = home.write("elsewhere/handoff.json", entry().dump());
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    fs::create_directories(folder);
    fs::create_symlink(target, store.fileURL());
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
    EXPECT_FALSE(fs::exists(fs::symlink_status(store.fileURL())));
    EXPECT_TRUE(fs::exists(target)); // the link went, not what it pointed to
    fs::create_directory(store.fileURL());
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
}

TEST_F(PendingSessionHandoffStoreTest, ConsumeAndDiscardRemoveTheFileAndACrashsTemporaries) {
    const std::function<void()> operations[] = {
        [this] { static_cast<void>(store.consume("2.0.0")); },
        [this] { store.discard(); },
    };
    // Only a crash's leftovers go: not a name staging never makes, nor a link.
    const auto link = folder / ".pending-session-handoff.Lnk123";
    const std::set<fs::path> kept = {link, folder / ".pending-session-handoff.json"};
    for (const auto& operation : operations) {
        ASSERT_TRUE(store.stage(token, "2.0.0"));
        home.write("share/ZEVRA/.pending-session-handoff.Ab12Cd", entry().dump());
        home.write("share/ZEVRA/.pending-session-handoff.json", "not one of ours");
        fs::create_symlink("elsewhere", link);
        operation();
        EXPECT_EQ(std::set<fs::path>(fs::directory_iterator(folder), {}), kept);
        fs::remove(link);
    }
}

// Staging under a permissive umask: a file made 0600 whose mode never changes afterwards was
// private from the moment it existed, before the token was written.
TEST_F(PendingSessionHandoffStoreTest, TokenIsNeverInAFileOthersCanRead) {
    fs::create_directories(folder);
    const UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_GE(::inotify_add_watch(watch.get(), folder.c_str(), IN_CREATE | IN_ATTRIB), 0);
    const mode_t previous = ::umask(0);
    const bool staged = store.stage(token, "1.0.0") && store.stage(token, "2.0.0");
    ::umask(previous);
    ASSERT_TRUE(staged);

    std::string events; // of the files in the folder, not of the folder itself
    alignas(inotify_event) char buffer[4096];
    for (ssize_t length; (length = ::read(watch.get(), buffer, sizeof buffer)) > 0;) {
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            ASSERT_EQ(event->mask & IN_Q_OVERFLOW, 0u);
            if (event->len > 0) {
                events += (event->mask & IN_CREATE) != 0 ? "made " : "chmod ";
            }
        }
    }
    EXPECT_EQ(events, "made made ");
    EXPECT_EQ(fs::symlink_status(store.fileURL()).permissions(), fs::perms(0600));
}

} // namespace
} // namespace zevra
