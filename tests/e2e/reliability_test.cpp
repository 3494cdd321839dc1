// Crash loops, the watchdog and the health check of the real bundle, without a display. The
// test adopts what the watchdog relaunches (child subreaper), so it can reap those copies too.
#include "app_process.h"
#include "support/loopback_client.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
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

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
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
    EXPECT_EQ(occurrences(journal, "<string>unclean_exit_detected</string>"), 3u) << journal;
    EXPECT_EQ(occurrences(journal, "<string>crash_loop_safe_start</string>"), 1u);
    EXPECT_EQ(occurrences(journal, "<string>Entered safe start after 3 rapid unclean exits"), 1u);
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
    // Shut down the app's listening socket from outside, as a failure inside it would.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, app->pid(), 0));
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(app->pid()) + "/fd")) {
        const int fd = static_cast<int>(
            ::syscall(SYS_pidfd_getfd, pidfd, std::stoi(entry.path().filename()), 0));
        int listening = 0;
        socklen_t size = sizeof listening;
        ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size);
        if (listening == 1) {
            ::shutdown(fd, SHUT_RDWR);
        }
        ::close(fd);
    }
    ::close(pidfd);
    ASSERT_FALSE(answersHealth());
    // Two probes 5 s apart fail before the restart; the rest is slack for a busy machine.
    EXPECT_TRUE(waitUntil(answersHealth, 10s + 800ms));
    const std::string shellLoad = "load requested: http://127.0.0.1:18484/index.html";
    EXPECT_TRUE(
        waitUntil([&] { return occurrences(app->standardErrorSoFar(), shellLoad) == 2; }, 2s))
        << app->standardErrorSoFar();
}

} // namespace
} // namespace zevra::testing
