// Crash loops, the watchdog and the health check of the real bundle, without a display. The
// test process adopts what the watchdog relaunches (a child subreaper), so it can reap and kill
// copies it did not start itself.
#include "app_process.h"
#include "support/loopback_client.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

std::filesystem::path dataFolder(const AppSandbox& sandbox) {
    return sandbox.home() / ".local/share/ZEVRA";
}

// The process identifiers that have a watchdog marker.
std::vector<int> markerPids(const AppSandbox& sandbox) {
    std::vector<int> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dataFolder(sandbox), error)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with("watchdog-") && name.ends_with(".pending")) {
            pids.push_back(std::stoi(name.substr(9)));
        }
    }
    return pids;
}

// The pid of the watchdog script watching `pid`, if one runs.
std::optional<int> watchdogOf(int pid) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream file(entry.path() / "cmdline");
        const std::string commandLine((std::istreambuf_iterator<char>(file)), {});
        if (commandLine.find("zevra-watchdog.sh") != std::string::npos &&
            commandLine.find('\0' + std::to_string(pid) + '\0') != std::string::npos) {
            return std::stoi(entry.path().filename().string());
        }
    }
    return std::nullopt;
}

bool answersHealth() {
    const auto answer =
        exchangeRaw(18484, "GET /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n\r\n", 2s);
    return answer && answer->status == 200;
}

// Reaps a child (started or adopted); false when it is still running after `timeout`.
bool reap(int pid, std::chrono::milliseconds timeout, int* status = nullptr) {
    int ignored = 0;
    return waitUntil([&] { return ::waitpid(pid, status ? status : &ignored, WNOHANG) == pid; },
                     timeout);
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
    const auto first = sandbox.start({});
    int pid = first->pid();
    for (int crash = 1; crash <= 3; ++crash) {
        SCOPED_TRACE("crash " + std::to_string(crash));
        std::optional<int> watchdog;
        ASSERT_TRUE(waitUntil([&] { return answersHealth() && (watchdog = watchdogOf(pid)); }, 30s))
            << first->standardErrorSoFar();
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(reap(pid, 10s));
        // The watchdog becomes the relaunched copy.
        ASSERT_TRUE(waitUntil([&] { return markerPids(sandbox) == std::vector{*watchdog}; }, 10s))
            << first->standardErrorSoFar();
        pid = *watchdog;
    }
    ASSERT_TRUE(waitUntil(answersHealth, 30s));
    const auto journal = readFile(dataFolder(sandbox) / "reliability-events.plist");
    EXPECT_EQ(occurrences(journal, "<string>unclean_exit_detected</string>"), 3u) << journal;
    EXPECT_EQ(occurrences(journal, "<string>crash_loop_safe_start</string>"), 1u);
    EXPECT_NE(journal.find("<string>Entered safe start after 3 rapid unclean exits</string>"),
              std::string::npos);
    EXPECT_NE(first->standardErrorSoFar().find("safe start after 3 rapid unclean exits"),
              std::string::npos);
    EXPECT_FALSE(watchdogOf(pid).has_value()) << "no watchdog in safe start";

    ::kill(pid, SIGTERM);
    ASSERT_TRUE(reap(pid, 10s));
    EXPECT_TRUE(markerPids(sandbox).empty());

    // The next launch counts from 0 again and has a watchdog, which a clean quit sends away.
    const auto next = sandbox.start({});
    std::optional<int> watchdog;
    ASSERT_TRUE(
        waitUntil([&] { return answersHealth() && (watchdog = watchdogOf(next->pid())); }, 30s));
    const auto receipt = readFile(dataFolder(sandbox) / "recovery.plist");
    EXPECT_NE(receipt.find("<integer>0</integer>"), std::string::npos) << receipt;
    next->kill(SIGTERM);
    ASSERT_TRUE(next->wait(10s).has_value());
    int status = -1;
    ASSERT_TRUE(reap(*watchdog, 10s, &status)) << "the watchdog relaunched after a clean quit";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(answersHealth());
}

// Shuts down the app's listening socket from outside, as a failure inside it would.
bool shutDownListeningSocket(int pid) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    bool found = false;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        const int fd = static_cast<int>(
            ::syscall(SYS_pidfd_getfd, pidfd, std::stoi(entry.path().filename()), 0));
        int listening = 0;
        socklen_t size = sizeof listening;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 &&
            listening == 1 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            ntohs(address.sin_port) == 18484) {
            found = ::shutdown(fd, SHUT_RDWR) == 0;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    ::close(pidfd);
    return found;
}

TEST(Reliability, AServerClosedUnderTheAppListensAgainWithinTenSeconds) {
    const AppSandbox sandbox;
    const auto app = sandbox.start({});
    ASSERT_TRUE(waitUntil(answersHealth, 30s)) << app->standardErrorSoFar();
    const std::string shellLoad = "load requested: http://127.0.0.1:18484/index.html";
    ASSERT_EQ(occurrences(app->standardErrorSoFar(), shellLoad), 1u);

    ASSERT_TRUE(shutDownListeningSocket(app->pid()));
    ASSERT_FALSE(answersHealth());
    // Two probes 5 s apart fail before the restart; the rest is slack for a busy machine.
    EXPECT_TRUE(waitUntil(answersHealth, 10s + 800ms));
    EXPECT_TRUE(
        waitUntil([&] { return occurrences(app->standardErrorSoFar(), shellLoad) == 2; }, 2s))
        << app->standardErrorSoFar();
}

} // namespace
} // namespace zevra::testing
