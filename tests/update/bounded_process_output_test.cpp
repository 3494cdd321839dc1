#include "update/bounded_process_output.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::TemporaryFolder;

// True once the process whose id the stand-in tool wrote to `pidFile` is gone.
bool processIsGone(const std::filesystem::path& pidFile) {
    pid_t pid = 0;
    if (!(std::ifstream(pidFile) >> pid) || pid <= 0) {
        return false;
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (kill(pid, 0) != 0) {
            return true;
        }
        std::this_thread::sleep_for(10ms); // a killed grandchild is reaped by init shortly
    }
    return false;
}

// Output of a successful tool, whole and UTF-8, within an inclusive cap; nothing otherwise.
TEST(BoundedProcessOutput, GivesTheOutputOfASuccessfulTool) {
    const std::vector<std::tuple<std::string, std::int64_t, std::optional<std::string>>> cases{
        {"printf 'one\\n'; echo noise >&2", 100, "one\n"},
        {"printf ''", 100, ""},
        {"printf 12345", 5, "12345"},
        {"printf 123456", 5, std::nullopt},
        {"echo partial; exit 3", 100, std::nullopt},
        {"kill -9 $$", 100, std::nullopt},
        {"printf '\\377\\n'", 100, std::nullopt},
    };
    for (const auto& [script, cap, output] : cases) {
        EXPECT_EQ(boundedProcessOutput("/bin/sh", {"-c", script}, cap), output) << script;
    }
    EXPECT_EQ(boundedProcessOutput("/nonexistent/tool", {}, 100), std::nullopt);
}

// An endless writer is killed at the cap; a tool that never ends, or closes its output and
// keeps running, at the time limit; either with its whole process group.
TEST(BoundedProcessOutput, KillsAToolPastItsLimits) {
    const TemporaryFolder folder;
    const auto pidFile = folder.path() / "pid";
    for (const std::string script :
         {"sleep 1000 & echo $! > \"$0\"; wait", "exec >&-; sleep 1000 & echo $! > \"$0\"; wait"}) {
        testing::ManualClock clock;
        auto pending = std::async(std::launch::async, [&] {
            return boundedProcessOutput("/bin/sh", {"-c", script, pidFile.string()}, 100, 60s,
                                        clock);
        });
        EXPECT_EQ(pending.wait_for(200ms), std::future_status::timeout) << script;
        clock.advance(59s);
        EXPECT_EQ(pending.wait_for(200ms), std::future_status::timeout) << script;
        clock.advance(2s);
        ASSERT_EQ(pending.wait_for(10s), std::future_status::ready) << script;
        EXPECT_EQ(pending.get(), std::nullopt) << script;
        EXPECT_TRUE(processIsGone(pidFile)) << script;
    }
    const std::string writer = "echo $$ > \"$0\"; while :; do echo xxxxxxxxxxxxxxx; done";
    EXPECT_EQ(boundedProcessOutput("/bin/sh", {"-c", writer, pidFile.string()}, 1 << 20),
              std::nullopt);
    EXPECT_TRUE(processIsGone(pidFile));
}

} // namespace
} // namespace zevra
