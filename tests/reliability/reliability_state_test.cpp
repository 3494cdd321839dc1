#include "reliability/reliability_state.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <ctime>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::readFile;

// A receipt as an earlier run leaves it; no start time when `startedAt` is empty.
std::string receipt(const std::string& status, const std::string& count, TimePoint startedAt) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(startedAt);
    std::tm utc{};
    char date[64];
    std::strftime(date, sizeof date, "<key>started_at</key><date>%Y-%m-%dT%H:%M:%SZ</date>",
                  gmtime_r(&seconds, &utc));
    return "<plist version=\"1.0\"><dict><key>status</key><string>" + status +
           "</string><key>consecutive_unclean</key><integer>" + count + "</integer>" +
           (startedAt == TimePoint{} ? "" : date) + "</dict></plist>";
}

struct Fixture {
    testing::TemporaryFolder folder;
    testing::ManualClock clock;
    ReliabilityState state{folder.path(), clock, "2.0.0", 4242};
    std::string read(const char* name) const {
        const auto path = folder.path() / name;
        return std::filesystem::exists(path) ? readFile(path) : "";
    }
};

TEST(ReliabilityState, CountsRapidUncleanLaunchesAndKeepsOneMarkerWhileRunning) {
    const std::tuple<const char*, std::string, std::chrono::seconds, int> rows[] = {
        {"first launch", "", 0s, 0},
        {"crash 10 s after start", "running 2", 10s, 3},
        {"crash 301 s after start", "running 2", 301s, 0},
        {"at the cap", "running 99", 10s, 99},
        {"no start time", "running 2", -1s, 0},
        {"clean exit", "clean 2", 10s, 0},
    };
    const char* lookAlikes[] = {"watchdog-17.txt", "watchdog-17.pending.bak", "x-17.pending"};
    for (const auto& [name, previous, startedAgo, expected] : rows) {
        SCOPED_TRACE(name);
        Fixture fixture;
        if (!previous.empty()) {
            const auto space = previous.find(' ');
            const auto startedAt = startedAgo < 0s ? TimePoint{} : fixture.clock.now() - startedAgo;
            fixture.folder.write("recovery.plist", receipt(previous.substr(0, space),
                                                           previous.substr(space + 1), startedAt));
        }
        for (const auto* file : lookAlikes) {
            fixture.folder.write(file, "x");
        }
        fixture.folder.write("watchdog-17.pending", "pending\n");
        fixture.state.beginLaunch();
        EXPECT_EQ(fixture.state.consecutiveUncleanLaunches(), expected);
        // Every run that left "running" behind is journalled, also when the count starts over.
        EXPECT_EQ(testing::countOf(fixture.read("reliability-events.plist"),
                                   "clean-exit receipt; rapid count: " + std::to_string(expected) +
                                       "</string>"),
                  previous.starts_with("running") ? 1u : 0u);
        EXPECT_NE(fixture.read("recovery.plist").find("<string>running</string>"),
                  std::string::npos);
        EXPECT_EQ(fixture.read("watchdog-17.pending") + fixture.read("watchdog-4242.pending"),
                  "pending\n");

        fixture.state.markClean();
        EXPECT_EQ(fixture.read("watchdog-4242.pending"), "");
        EXPECT_NE(fixture.read("recovery.plist").find("<string>clean</string>"), std::string::npos);
        for (const auto* file : lookAlikes) {
            EXPECT_EQ(fixture.read(file), "x") << file;
        }
    }
}

TEST(ReliabilityJournal, KeepsTheLast32EventsAndReplacesACorruptFile) {
    Fixture fixture;
    fixture.folder.write("reliability-events.plist", "<plist><dict></dict></plist>");
    for (int i = 1; i <= 33; ++i) {
        fixture.state.journal().record("test", "event " + std::to_string(i) + ".");
    }
    const auto journal = fixture.read("reliability-events.plist");
    EXPECT_EQ(testing::countOf(journal, "<dict>"), 32u);
    EXPECT_EQ(testing::countOf(journal, "<string>event 1.</string>"), 0u);
    EXPECT_EQ(testing::countOf(journal, "<string>event 2.</string>"), 1u);
}

TEST(ReliabilityState, AFolderThatCannotBeMadeStopsNothing) {
    Fixture fixture;
    const auto file = fixture.folder.write("file", "not a folder");
    ReliabilityState state(file / "ZEVRA", fixture.clock, "dev", 1);
    state.beginLaunch();
    state.journal().record("test", "nowhere to go");
    state.markClean();
    EXPECT_EQ(state.consecutiveUncleanLaunches(), 0);
    EXPECT_EQ(readFile(file), "not a folder");
}

} // namespace
} // namespace zevra
