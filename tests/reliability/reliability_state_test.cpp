// Launch receipts, markers and the journal, on disk in a private folder with a hand-moved clock.
#include "reliability/reliability_state.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <set>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::ManualClock;
using testing::readFile;
using testing::TemporaryFolder;

constexpr int ourPid = 4242;

std::string plistDate(TimePoint time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// A receipt as an earlier run leaves it.
std::string receipt(const std::string& status, std::optional<TimePoint> startedAt, int count) {
    std::string entries = "<key>status</key><string>" + status + "</string>";
    if (startedAt) {
        entries += "<key>started_at</key><date>" + plistDate(*startedAt) + "</date>";
    }
    entries += "<key>consecutive_unclean</key><integer>" + std::to_string(count) + "</integer>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>" + entries +
           "</dict></plist>";
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::set<std::string> fileNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct Fixture {
    TemporaryFolder folder;
    ManualClock clock;
    [[nodiscard]] ReliabilityState state() const {
        return ReliabilityState(folder.path(), clock, "2.0.0", ourPid);
    }
    [[nodiscard]] std::string journal() const {
        const auto path = folder.path() / "reliability-events.plist";
        return std::filesystem::exists(path) ? readFile(path) : "";
    }
};

TEST(ReliabilityState, CountsRapidUncleanLaunchesFromTheReceipt) {
    struct Row {
        const char* name;
        std::optional<std::string> status; // absent: no receipt at all
        std::optional<std::chrono::seconds> startedAgo;
        int previousCount;
        int expectedCount;
        bool journalled;
    };
    const Row rows[] = {
        {"first launch", std::nullopt, 0s, 0, 0, false},
        {"crash 10 s after start", "running", 10s, 2, 3, true},
        {"crash 301 s after start", "running", 301s, 2, 0, true},
        {"at the cap", "running", 10s, 99, 99, true},
        {"no start time", "running", std::nullopt, 2, 0, true},
        {"clean exit", "clean", 10s, 2, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Fixture fixture;
        if (row.status) {
            std::optional<TimePoint> startedAt;
            if (row.startedAgo) {
                startedAt = fixture.clock.now() - *row.startedAgo;
            }
            fixture.folder.write("recovery.plist",
                                 receipt(*row.status, startedAt, row.previousCount));
        }
        auto state = fixture.state();
        state.beginLaunch();

        EXPECT_EQ(state.consecutiveUncleanLaunches(), row.expectedCount);
        const auto journal = fixture.journal();
        EXPECT_EQ(occurrences(journal, "<string>unclean_exit_detected</string>"),
                  row.journalled ? 1u : 0u);
        if (row.journalled) {
            EXPECT_NE(journal.find("<string>Previous ZEVRA process ended without a clean-exit "
                                   "receipt; rapid count: " +
                                   std::to_string(row.expectedCount) + "</string>"),
                      std::string::npos)
                << journal;
        }
        const auto written = readFile(fixture.folder.path() / "recovery.plist");
        EXPECT_NE(written.find("<string>running</string>"), std::string::npos) << written;
        EXPECT_NE(written.find("<integer>" + std::to_string(row.expectedCount) + "</integer>"),
                  std::string::npos);
        EXPECT_EQ(readFile(fixture.folder.path() / "watchdog-4242.pending"), "pending\n");
    }
}

TEST(ReliabilityState, RemovesStaleMarkersAndKeepsLookAlikes) {
    const Fixture fixture;
    for (const auto* name : {"watchdog-17.pending", "watchdog-4242.pending", "watchdog-17.txt",
                             "watchdog-17.pending.bak", "other-17.pending"}) {
        fixture.folder.write(name, "x");
    }
    auto state = fixture.state();
    state.beginLaunch();
    EXPECT_EQ(
        fileNames(fixture.folder.path()),
        (std::set<std::string>{"watchdog-4242.pending", "watchdog-17.txt",
                               "watchdog-17.pending.bak", "other-17.pending", "recovery.plist"}));

    state.markClean();
    EXPECT_FALSE(std::filesystem::exists(fixture.folder.path() / "watchdog-4242.pending"));
    EXPECT_NE(readFile(fixture.folder.path() / "recovery.plist").find("<string>clean</string>"),
              std::string::npos);
}

TEST(ReliabilityJournal, KeepsTheLast32Events) {
    const Fixture fixture;
    const auto state = fixture.state();
    for (int i = 1; i <= 33; ++i) {
        state.journal().record("test_event", "event " + std::to_string(i) + ".");
    }
    const auto journal = fixture.journal();
    EXPECT_EQ(occurrences(journal, "<dict>"), 32u);
    EXPECT_EQ(journal.find("<string>event 1.</string>"), std::string::npos);
    EXPECT_NE(journal.find("<string>event 2.</string>"), std::string::npos);
    EXPECT_NE(journal.find("<string>event 33.</string>"), std::string::npos);
}

TEST(ReliabilityJournal, ReplacesACorruptJournalWithTheNewEvent) {
    for (const auto* corrupt : {"not a property list", "<plist><dict></dict></plist>"}) {
        const Fixture fixture;
        fixture.folder.write("reliability-events.plist", corrupt);
        fixture.state().journal().record("test_event", "only this");
        const auto journal = fixture.journal();
        EXPECT_EQ(occurrences(journal, "<dict>"), 1u) << journal;
        EXPECT_NE(journal.find("<string>only this</string>"), std::string::npos);
    }
}

TEST(ReliabilityState, AFolderThatCannotBeMadeStopsNothing) {
    const Fixture fixture;
    const auto blocker = fixture.folder.write("file", "a file, not a folder");
    const ManualClock clock;
    ReliabilityState state(blocker / "ZEVRA", clock, "dev", ourPid);
    state.beginLaunch();
    state.journal().record("test_event", "nowhere to go");
    state.markClean();
    EXPECT_EQ(state.consecutiveUncleanLaunches(), 0);
    EXPECT_EQ(readFile(blocker), "a file, not a folder");
}

} // namespace
} // namespace zevra
