// The health check's decisions, over a server and a probe played by the test.
#include "reliability/local_shell_health.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace zevra {
namespace {

struct FakeShell {
    bool listening = true;
    std::deque<bool> startResults; // once empty, starts succeed
    std::deque<bool> verdicts;     // one a probe, in order
    int starts = 0;
    int stops = 0;
    int probes = 0;
    int reloads = 0;
    std::function<void(bool)> lastDone;

    LocalShellHealthServices services() {
        return {
            .serverIsListening = [this] { return listening; },
            .startServer =
                [this] {
                    ++starts;
                    listening = startResults.empty() || startResults.front();
                    if (!startResults.empty()) {
                        startResults.pop_front();
                    }
                    return listening;
                },
            .stopServer =
                [this] {
                    ++stops;
                    listening = false;
                },
            .probe =
                [this](std::function<void(bool)> done) {
                    ++probes;
                    lastDone = done;
                    const bool healthy = verdicts.front();
                    verdicts.pop_front();
                    done(healthy);
                },
            .reloadShellPage = [this] { ++reloads; },
        };
    }
};

TEST(LocalShellHealth, RestartsTheServerOnlyAfterTwoFailuresInARow) {
    struct Row {
        const char* name;
        bool listening;
        std::deque<bool> startResults;
        std::deque<bool> verdicts;
        int ticks;
        int starts, stops, probes, reloads, failures;
    };
    const Row rows[] = {
        {"not listening: started at once, no probe", false, {}, {}, 1, 1, 0, 0, 1, 0},
        {"port still taken: tried each tick, no reload",
         false,
         {false, false},
         {},
         2,
         2,
         0,
         0,
         0,
         0},
        {"one failure then success", true, {}, {false, true}, 2, 0, 0, 2, 0, 0},
        {"a success between failures", true, {}, {false, true, false}, 3, 0, 0, 3, 0, 1},
        {"two failures: one restart and reload", true, {}, {false, false}, 2, 1, 1, 2, 1, 0},
        {"restart cannot bind: count stays, next tick starts",
         true,
         {false},
         {false, false},
         3,
         2,
         1,
         2,
         1,
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeShell shell;
        shell.listening = row.listening;
        shell.startResults = row.startResults;
        shell.verdicts = row.verdicts;
        const auto health = std::make_shared<LocalShellHealth>(shell.services());
        for (int tick = 0; tick < row.ticks; ++tick) {
            health->checkLocalShellHealth();
            if (tick == 1 && row.startResults.size() == 1) {
                EXPECT_EQ(health->localHealthFailures(), 2) << "a failed restart keeps the count";
            }
        }
        EXPECT_EQ(shell.starts, row.starts);
        EXPECT_EQ(shell.stops, row.stops);
        EXPECT_EQ(shell.probes, row.probes);
        EXPECT_EQ(shell.reloads, row.reloads);
        EXPECT_EQ(health->localHealthFailures(), row.failures);
    }
}

TEST(LocalShellHealth, AProbeAnsweringAfterShutdownDoesNothing) {
    FakeShell shell;
    shell.verdicts = {true};
    auto health = std::make_shared<LocalShellHealth>(shell.services());
    health->checkLocalShellHealth();
    health.reset();
    shell.lastDone(false);
    EXPECT_EQ(shell.stops, 0);
}

} // namespace
} // namespace zevra
