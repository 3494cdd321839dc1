#include "base/unique_fd.h"
#include "update/bounded_process_output.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::TemporaryFolder;

std::optional<std::string> shellOutput(const std::string& script, std::int64_t maxBytes) {
    return boundedProcessOutput("/bin/sh", {"-c", script}, maxBytes);
}

// True once the process whose id the stand-in tool wrote to `pidFile` is gone.
bool processIsGone(const std::filesystem::path& pidFile) {
    std::ifstream in(pidFile);
    pid_t pid = 0;
    if (!(in >> pid) || pid <= 0) {
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

TEST(BoundedProcessOutput, ReturnsTheOutputOfASuccessfulTool) {
    EXPECT_EQ(shellOutput("printf 'one\\ntwo\\n'; echo noise >&2", 100), "one\ntwo\n");
    EXPECT_EQ(shellOutput("printf ''", 100), "");
    EXPECT_EQ(boundedProcessOutput("/bin/echo", {"a b", "c"}, 100), "a b c\n");
}

TEST(BoundedProcessOutput, HandsTheSharedFileToTheToolByDescriptor) {
    const TemporaryFolder folder;
    const auto path = folder.write("shared", "shared bytes");
    const UniqueFd shared(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(shared.valid());
    std::filesystem::remove(path); // the tool reads the open file, not whatever has the name
    EXPECT_EQ(
        boundedProcessOutput("/bin/cat", {sharedFilePath}, 100, 60s, systemClock(), shared.get()),
        "shared bytes");
}

TEST(BoundedProcessOutput, RefusesFailuresAndTextThatIsNotUTF8) {
    EXPECT_EQ(shellOutput("echo partial; exit 3", 100), std::nullopt);
    EXPECT_EQ(shellOutput("kill -9 $$", 100), std::nullopt);
    EXPECT_EQ(shellOutput("printf '\\377\\n'", 100), std::nullopt);
    EXPECT_EQ(boundedProcessOutput("/nonexistent/tool", {}, 100), std::nullopt);
}

TEST(BoundedProcessOutput, CapIsInclusive) {
    EXPECT_EQ(shellOutput("printf 12345", 5), "12345");
    EXPECT_EQ(shellOutput("printf 123456", 5), std::nullopt);
}

TEST(BoundedProcessOutput, KillsAToolThatWritesPastTheCap) {
    const TemporaryFolder folder;
    const auto pidFile = folder.path() / "pid";
    // An endless writer: without the cap it would fill memory or disk.
    const auto output = shellOutput(
        "echo $$ > '" + pidFile.string() + "'; while :; do echo xxxxxxxxxxxxxxx; done", 1 << 20);
    EXPECT_EQ(output, std::nullopt);
    EXPECT_TRUE(processIsGone(pidFile));
}

TEST(BoundedProcessOutput, GivesUpOnAToolThatNeverEnds) {
    const TemporaryFolder folder;
    const auto pidFile = folder.path() / "pid";
    testing::ManualClock clock;
    auto pending = std::async(std::launch::async, [&] {
        return boundedProcessOutput(
            "/bin/sh", {"-c", "sleep 1000 & echo $! > '" + pidFile.string() + "'; wait"}, 100, 60s,
            clock);
    });
    // Nothing happens before the limit; past it the tool is killed.
    EXPECT_EQ(pending.wait_for(200ms), std::future_status::timeout);
    clock.advance(59s);
    EXPECT_EQ(pending.wait_for(200ms), std::future_status::timeout);
    clock.advance(2s);
    ASSERT_EQ(pending.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(pending.get(), std::nullopt);
    EXPECT_TRUE(processIsGone(pidFile)); // the whole process group went down
}

TEST(BoundedProcessOutput, GivesUpOnAToolThatClosesItsOutputButKeepsRunning) {
    testing::ManualClock clock;
    auto pending = std::async(std::launch::async, [&] {
        return boundedProcessOutput("/bin/sh", {"-c", "exec >&-; sleep 1000"}, 100, 60s, clock);
    });
    EXPECT_EQ(pending.wait_for(200ms), std::future_status::timeout);
    clock.advance(61s);
    ASSERT_EQ(pending.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(pending.get(), std::nullopt);
}

} // namespace
} // namespace zevra
