#include "auth/pending_session_handoff_store.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <poll.h>
#include <thread>

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

TEST_F(PendingSessionHandoffStoreTest, StagedTokenIsTakenOnceByItsVersion) {
    ASSERT_TRUE(store.stage(token, "2.0.0"));
    EXPECT_EQ(store.fileURL(), folder / "pending-session-handoff.json");
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(store.fileURL()), 0600u);

    const auto written = nlohmann::json::parse(testing::readFile(store.fileURL()));
    EXPECT_EQ(written["schema"], "zevra-update-session-handoff-v1");
    EXPECT_EQ(written["expected_version"], "2.0.0");
    EXPECT_EQ(written["token"], token);
    EXPECT_DOUBLE_EQ(written["expires_at"].get<double>(), nowSeconds(clock) + 300);

    clock.advance(299s);
    EXPECT_EQ(store.consume("2.0.0"), token);
    EXPECT_FALSE(fileExists());
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
}

TEST_F(PendingSessionHandoffStoreTest, StageRefusesBadInputWithoutTouchingTheDisk) {
    EXPECT_FALSE(store.stage(std::string(31, 'a'), "2.0.0"));
    EXPECT_FALSE(store.stage(token, "1.2"));
    EXPECT_FALSE(store.stage(token, "2.0.0-beta"));
    EXPECT_FALSE(store.stage(std::string(token) + "\n", "2.0.0"));
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(PendingSessionHandoffStoreTest, StageTightensAnExistingFolderAndReplacesTheFile) {
    std::filesystem::create_directories(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    ASSERT_TRUE(store.stage(std::string(32, 'b'), "1.0.0"));
    ASSERT_TRUE(store.stage(token, "2.0.0"));
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(store.consume("2.0.0"), token);
    // No temporary file is left behind.
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(PendingSessionHandoffStoreTest, StageFailsWhenTheFolderCannotBeMade) {
    home.write("share", "a file where the folder should be");
    EXPECT_FALSE(store.stage(token, "2.0.0"));
}

TEST_F(PendingSessionHandoffStoreTest, OtherVersionsAndExpiredEntriesAreRefusedAndDeleted) {
    ASSERT_TRUE(store.stage(token, "2.0.0"));
    EXPECT_EQ(store.consume("1.9.0"), std::nullopt);
    EXPECT_FALSE(fileExists());

    ASSERT_TRUE(store.stage(token, "2.0.0"));
    clock.advance(301s);
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
    EXPECT_FALSE(fileExists());
}

TEST_F(PendingSessionHandoffStoreTest, ExpiryWindowAllowsFiveSecondsOfClockSlack) {
    const struct {
        double expiresIn;
        bool accepted;
    } cases[] = {{-0.5, false}, {0, true}, {302, true}, {305, true}, {305.5, false}, {400, false}};
    for (const auto& c : cases) {
        writeFile(validEntry(c.expiresIn).dump());
        EXPECT_EQ(store.consume("2.0.0").has_value(), c.accepted) << c.expiresIn;
        EXPECT_FALSE(fileExists()) << c.expiresIn;
    }
}

TEST_F(PendingSessionHandoffStoreTest, RefusesAndDeletesFilesThatFailAnyCheck) {
    const auto with = [this](const char* key, const nlohmann::json& value) {
        auto entry = validEntry();
        entry[key] = value;
        return entry.dump();
    };
    auto withoutToken = validEntry();
    withoutToken.erase("token");
    const struct {
        const char* what;
        std::string contents;
        mode_t mode;
    } cases[] = {
        {"group readable", validEntry().dump(), 0640},
        {"world readable", validEntry().dump(), 0644},
        {"executable by others", validEntry().dump(), 0601},
        {"empty", "", 0600},
        {"over 1024 bytes", validEntry().dump() + std::string(1025, ' '), 0600},
        {"not JSON", "{\"schema\":", 0600},
        {"an array", "[1,2]", 0600},
        {"another schema", with("schema", "zevra-update-session-handoff-v2"), 0600},
        {"version as number", with("expected_version", 2), 0600},
        {"expiry as string", with("expires_at", "1796000300"), 0600},
        {"short token", with("token", std::string(31, 'a')), 0600},
        {"token with line feed", with("token", std::string(token) + "\n"), 0600},
        {"no token", withoutToken.dump(), 0600},
    };
    for (const auto& c : cases) {
        writeFile(c.contents, c.mode);
        EXPECT_EQ(store.consume("2.0.0"), std::nullopt) << c.what;
        EXPECT_FALSE(fileExists()) << c.what;
    }
    // The same file, private and well-formed, is taken.
    writeFile(validEntry().dump());
    EXPECT_EQ(store.consume("2.0.0"), token);
}

TEST_F(PendingSessionHandoffStoreTest, ExactlyOneKilobyteIsStillRead) {
    auto entry = validEntry().dump();
    entry.insert(entry.size() - 1, std::string(1024 - entry.size(), ' '));
    ASSERT_EQ(entry.size(), 1024u);
    writeFile(entry);
    EXPECT_EQ(store.consume("2.0.0"), token);
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

TEST_F(PendingSessionHandoffStoreTest, DiscardRemovesTheStagedFile) {
    ASSERT_TRUE(store.stage(token, "2.0.0"));
    store.discard();
    EXPECT_FALSE(fileExists());
    store.discard(); // nothing there: no effect
    EXPECT_EQ(store.consume("2.0.0"), std::nullopt);
}

// Watches every file that appears in the folder while staging runs with a permissive umask,
// so a file created with the default mode and tightened only later would be seen.
TEST_F(PendingSessionHandoffStoreTest, TokenIsNeverInAFileOthersCanRead) {
    std::filesystem::create_directories(folder);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MODIFY | IN_MOVED_TO), 0);
    std::atomic<bool> done{false};
    std::atomic<int> filesSeen{0};
    std::atomic<int> exposed{0};
    std::thread watcher([&] {
        alignas(inotify_event) char buffer[4096];
        while (!done) {
            pollfd ready{watch, POLLIN, 0};
            if (::poll(&ready, 1, 10) <= 0) {
                continue;
            }
            const ssize_t length = ::read(watch, buffer, sizeof buffer);
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->len == 0) {
                    continue;
                }
                struct stat info {};
                if (::lstat((folder / event->name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                    ++filesSeen;
                    exposed += (info.st_mode & 077) != 0 ? 1 : 0;
                }
            }
        }
    });
    const mode_t previous = ::umask(0);
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(store.stage(token, "2.0.0"));
    }
    ::umask(previous);
    done = true;
    watcher.join();
    ::close(watch);
    EXPECT_GT(filesSeen.load(), 0);
    EXPECT_EQ(exposed.load(), 0);
    EXPECT_EQ(modeOf(store.fileURL()), 0600u);
}

} // namespace
} // namespace zevra
