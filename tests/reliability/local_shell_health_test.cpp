#include "reliability/local_shell_health.h"

#include <gtest/gtest.h>

#include <deque>

namespace zevra {
namespace {

TEST(LocalShellHealth, RestartsTheServerOnlyAfterTwoFailuresInARow) {
    struct Row {
        const char* name;
        bool listening;
        int failingStarts;
        std::deque<bool> verdicts; // one a probe
        int ticks, starts, stops, reloads, failures;
    };
    const Row rows[] = {
        {"not listening: started at once, no probe", false, 0, {}, 1, 1, 0, 1, 0},
        {"port still taken: tried each tick, no reload", false, 2, {}, 2, 2, 0, 0, 0},
        {"one failure then success", true, 0, {false, true}, 2, 0, 0, 0, 0},
        {"a success between failures", true, 0, {false, true, false}, 3, 0, 0, 0, 1},
        {"two failures: one restart and reload", true, 0, {false, false}, 2, 1, 1, 1, 0},
        {"restart cannot bind: next tick starts", true, 1, {false, false}, 3, 2, 1, 1, 0},
    };
    for (auto row : rows) {
        SCOPED_TRACE(row.name);
        int starts = 0, stops = 0, reloads = 0;
        LocalShellHealthServices services;
        services.serverIsListening = [&] { return row.listening; };
        services.startServer = [&] { return row.listening = ++starts > row.failingStarts; };
        services.stopServer = [&] {
            ++stops;
            row.listening = false;
        };
        services.probe = [&](const std::function<void(bool)>& done) {
            const bool healthy = row.verdicts.front();
            row.verdicts.pop_front();
            done(healthy);
        };
        services.reloadShellPage = [&] { ++reloads; };
        const auto health = std::make_shared<LocalShellHealth>(std::move(services));
        for (int tick = 0; tick < row.ticks; ++tick) {
            health->checkLocalShellHealth();
        }
        EXPECT_TRUE(row.verdicts.empty()) << "probes left unused";
        EXPECT_EQ(starts, row.starts);
        EXPECT_EQ(stops, row.stops);
        EXPECT_EQ(reloads, row.reloads);
        EXPECT_EQ(health->localHealthFailures(), row.failures);
    }
}

} // namespace
} // namespace zevra
