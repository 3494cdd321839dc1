#include "auth/pending_session_handoff_store.h"
#include "base/unique_fd.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;
constexpr const char* token = "0123456789abcdefABCDEF0123456789";

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

double nowSeconds(const Clock& clock) {
    return std::chrono::duration<double>(clock.now().time_since_epoch()).count();
}

class PendingSessionHandoffStoreTest : public ::testing::Test {
protected:
    testing::TemporaryFolder home;
    testing::ManualClock clock;
    std::filesystem::path folder = home.path() / "share" / "ZEVRA";
    PendingSessionHandoffStore store{folder, clock};

    // Writes a handoff file by hand, private unless told otherwise.
    void writeFile(const std::string& contents, mode_t mode = 0600) const {
        std::filesystem::create_directories(folder);
        home.write("share/ZEVRA/pending-session-handoff.json", contents);
        ASSERT_EQ(::chmod(store.fileURL().c_str(), mode), 0);
    }

    [[nodiscard]] nlohmann::json validEntry(double expiresIn = 300) const {
        return {{"schema", "zevra-update-session-handoff-v1"},
                {"expected_version", "2.0.0"},
                {"expires_at", nowSeconds(clock) + expiresIn},
                {"token", token}};
    }

    [[nodiscard]] bool fileExists() const {
        struct stat info {};
        return ::lstat(store.fileURL().c_str(), &info) == 0;
    }
};

TEST_F(PendingSessionHandoffStoreTest, StagedTokenIsPrivateAndTakenOnceByItsVersion) {
    std::filesystem::create_directories(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    ASSERT_TRUE(store.stage(std::string(32, 'b'), "1.0.0"));
    ASSERT_TRUE(store.stage(token, "2.0.0"));
    EXPECT_EQ(store.fileURL(), folder / "pending-session-handoff.json");
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(store.fileURL()), 0600u);
    const auto written = nlohmann::json::parse(testing::readFile(store.fileURL()));
    EXPECT_EQ(written, validEntry());

    clock.advance(299s);
    EXPECT_EQ(store.consume("2.0.0"), token);
    EXPECT_TRUE(std::filesystem::is_empty(folder)); // no temporary file left behind
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
}

TEST_F(PendingSessionHandoffStoreTest, StageRefusesBadInputWithoutTouchingTheDisk) {
    const std::pair<std::string, std::string> refused[] = {{std::string(31, 'a'), "2.0.0"},
                                                           {token, "1.2"},
                                                           {token, "2.0.0-beta"},
                                                           {std::string(token) + "\n", "2.0.0"}};
    for (const auto& [staged, version] : refused) {
        EXPECT_FALSE(store.stage(staged, version)) << staged << " " << version;
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    home.write("share", "a file where the folder should be");
    EXPECT_FALSE(store.stage(token, "2.0.0"));
}

TEST_F(PendingSessionHandoffStoreTest, ConsumeTakesOnlyAFreshPrivateEntryAndAlwaysDeletes) {
    const auto with = [this](const char* key, const nlohmann::json& value) {
        auto entry = validEntry();
        entry[key] = value;
        return entry.dump();
    };
    auto withoutToken = validEntry();
    withoutToken.erase("token");
    auto oneKilobyte = validEntry().dump();
    oneKilobyte.insert(oneKilobyte.size() - 1, std::string(1024 - oneKilobyte.size(), ' '));
    const struct {
        const char* what;
        std::string contents;
        mode_t mode;
        const char* version;
        bool accepted;
    } cases[] = {
        {"valid", validEntry().dump(), 0600, "2.0.0", true},
        {"another version", validEntry().dump(), 0600, "1.9.0", false},
        {"expired half a second ago", validEntry(-0.5).dump(), 0600, "2.0.0", false},
        {"expires now", validEntry(0).dump(), 0600, "2.0.0", true},
        {"five seconds of clock slack", validEntry(305).dump(), 0600, "2.0.0", true},
        {"beyond the slack", validEntry(305.5).dump(), 0600, "2.0.0", false},
        {"group readable", validEntry().dump(), 0640, "2.0.0", false},
        {"world readable", validEntry().dump(), 0644, "2.0.0", false},
        {"executable by others", validEntry().dump(), 0601, "2.0.0", false},
        {"exactly 1024 bytes", oneKilobyte, 0600, "2.0.0", true},
        {"over 1024 bytes", oneKilobyte + " ", 0600, "2.0.0", false},
        {"empty", "", 0600, "2.0.0", false},
        {"not JSON", "{\"schema\":", 0600, "2.0.0", false},
        {"an array", "[1,2]", 0600, "2.0.0", false},
        {"another schema", with("schema", "zevra-update-session-handoff-v2"), 0600, "2.0.0", false},
        {"version as number", with("expected_version", 2), 0600, "2.0.0", false},
        {"expiry as string", with("expires_at", "1796000300"), 0600, "2.0.0", false},
        {"short token", with("token", std::string(31, 'a')), 0600, "2.0.0", false},
        {"token with line feed", with("token", std::string(token) + "\n"), 0600, "2.0.0", false},
        {"no token", withoutToken.dump(), 0600, "2.0.0", false},
    };
    for (const auto& c : cases) {
        writeFile(c.contents, c.mode);
        EXPECT_EQ(store.consume(c.version).has_value(), c.accepted) << c.what;
        EXPECT_FALSE(fileExists()) << c.what;
    }
}

TEST_F(PendingSessionHandoffStoreTest, SymbolicLinksAndFoldersAreRefusedAndRemoved) {
    const auto target = home.write("elsewhere/handoff.json", validEntry().dump());
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(target, store.fileURL());
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
    EXPECT_FALSE(fileExists());
    EXPECT_TRUE(std::filesystem::exists(target)); // the link went, not what it pointed to
    std::filesystem::create_directory(store.fileURL());
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
}

TEST_F(PendingSessionHandoffStoreTest, ConsumeAndDiscardRemoveTheFileAndACrashsTemporaries) {
    const std::function<void()> operations[] = {
        [this] { static_cast<void>(store.consume("2.0.0")); },
        [this] { store.discard(); },
    };
    for (const auto& operation : operations) {
        ASSERT_TRUE(store.stage(token, "2.0.0"));
        home.write("share/ZEVRA/.pending-session-handoff.Ab12Cd", validEntry().dump());
        home.write("share/ZEVRA/.pending-session-handoff.json", "not one of ours");
        std::filesystem::create_symlink("elsewhere", folder / ".pending-session-handoff.Lnk123");
        operation();
        std::set<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            left.insert(entry.path().filename().string());
        }
        EXPECT_EQ(left, (std::set<std::string>{".pending-session-handoff.Lnk123",
                                               ".pending-session-handoff.json"}));
        std::filesystem::remove(folder / ".pending-session-handoff.Lnk123");
    }
}

// Records what happens to files in the folder while staging runs under a permissive umask. A
// file whose mode is never changed after it is made, and that ends up 0600, was 0600 from the
// moment it existed: nobody else could have opened it, even before the token was written.
TEST_F(PendingSessionHandoffStoreTest, TokenIsNeverInAFileOthersCanRead) {
    std::filesystem::create_directories(folder);
    const UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_TRUE(watch.valid());
    ASSERT_GE(::inotify_add_watch(watch.get(), folder.c_str(), IN_CREATE | IN_ATTRIB), 0);
    const mode_t previous = ::umask(0);
    const bool staged = store.stage(token, "1.0.0") && store.stage(token, "2.0.0");
    ::umask(previous);
    ASSERT_TRUE(staged);

    int created = 0;
    std::vector<std::string> changed;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t length; (length = ::read(watch.get(), buffer, sizeof buffer)) > 0;) {
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            ASSERT_EQ(event->mask & IN_Q_OVERFLOW, 0u);
            if (event->len == 0) {
                continue; // the folder itself
            }
            created += (event->mask & IN_CREATE) != 0 ? 1 : 0;
            if ((event->mask & IN_ATTRIB) != 0) {
                changed.emplace_back(event->name);
            }
        }
    }
    EXPECT_EQ(created, 2);
    EXPECT_EQ(changed, std::vector<std::string>{});
    EXPECT_EQ(modeOf(store.fileURL()), 0600u);
}

} // namespace
} // namespace zevra
