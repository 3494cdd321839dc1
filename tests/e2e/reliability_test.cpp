// Crash loops, the watchdog and the health check of the real bundle, without a display. The
// test adopts what the watchdog relaunches (child subreaper), so it can reap those copies too.
#include "app_process.h"
#include "support/loopback_client.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <optional>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

// The watchdog script watching `pid`, if one runs.
std::optional<int> watchdogOf(int pid) {
    const auto found =
        runProcess({"/usr/bin/pgrep", "-f", "zevra-watchdog.sh .* " + std::to_string(pid) + " "});
    return found.exitCode == 0 ? std::optional(std::stoi(found.standardOutput)) : std::nullopt;
}

bool answersHealth() {
    const auto answer = exchangeRaw(18484, "GET /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n\r\n");
    return answer && answer->status == 200;
}

TEST(Reliability, ThreeRapidCrashesEndInASafeStartAndACleanQuitResetsTheCount) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const AppSandbox sandbox;
    const auto data = sandbox.home() / ".local/share/ZEVRA";
    const auto first = sandbox.start({});
    const auto reap = [&](int pid) {
        return pid == first->pid()
                   ? first->wait(10s).has_value()
                   : waitUntil([&] { return ::waitpid(pid, nullptr, WNOHANG) == pid; }, 10s);
    };
    int pid = first->pid();
    std::optional<int> watchdog;
    for (int crash = 1; crash <= 3; ++crash) {
        ASSERT_TRUE(waitUntil([&] { return answersHealth() && (watchdog = watchdogOf(pid)); }, 30s))
            << crash << first->standardErrorSoFar();
        ::kill(pid, SIGKILL);
        // Not reaped yet, as a busy parent may leave it. The watchdog becomes the next copy.
        const auto marker = data / ("watchdog-" + std::to_string(*watchdog) + ".pending");
        ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(marker); }, 10s)) << crash;
        ASSERT_TRUE(reap(pid));
        pid = *watchdog;
    }
    ASSERT_TRUE(waitUntil(answersHealth, 30s));
    const auto journal = readFile(data / "reliability-events.plist");
    EXPECT_EQ(countOf(journal, "<string>unclean_exit_detected</string>"), 3u) << journal;
    EXPECT_EQ(countOf(journal, "<string>crash_loop_safe_start</string>"), 1u);
    EXPECT_EQ(countOf(journal, "<string>Entered safe start after 3 rapid unclean exits"), 1u);
    EXPECT_FALSE(watchdogOf(pid).has_value()) << "no watchdog in safe start";

    ::kill(pid, SIGTERM);
    ASSERT_TRUE(reap(pid));
    // The next launch counts from 0 and has a watchdog again, which a clean quit sends away.
    const auto next = sandbox.start({});
    ASSERT_TRUE(
        waitUntil([&] { return answersHealth() && (watchdog = watchdogOf(next->pid())); }, 30s));
    EXPECT_NE(readFile(data / "recovery.plist").find("<integer>0</integer>"), std::string::npos);
    next->kill(SIGTERM);
    ASSERT_TRUE(next->wait(10s).has_value());
    EXPECT_TRUE(reap(*watchdog)) << "the watchdog relaunched the app after a clean quit";
    EXPECT_FALSE(answersHealth());
}

TEST(Reliability, AServerShutDownUnderTheAppListensAgainWithinTenSeconds) {
    const AppSandbox sandbox;
    const auto app = sandbox.start({});
    ASSERT_TRUE(waitUntil(answersHealth, 30s)) << app->standardErrorSoFar();
    ASSERT_TRUE(shutDownListeningSocket(app->pid(), 18484));
    ASSERT_FALSE(answersHealth());
    // Two probes 5 s apart fail before the restart; the rest is slack for a busy machine.
    EXPECT_TRUE(waitUntil(answersHealth, 10s + 800ms));
    const std::string shellLoad = "load requested: http://127.0.0.1:18484/index.html";
    EXPECT_TRUE(waitUntil([&] { return countOf(app->standardErrorSoFar(), shellLoad) == 2; }, 2s))
        << app->standardErrorSoFar();
}

} // namespace
} // namespace zevra::testing
