#include "app_process.h"
#include "support/loopback_client.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path lockPath =
    "/tmp/com.kelmor.zevra." + std::to_string(getuid()) + ".lock";

TEST(SingleInstance, SecondCopyHandsOverAndExits) {
    const AppSandbox sandbox;
    const auto first = sandbox.start({});
    ASSERT_TRUE(waitForStandardError(*first, "runs without a window", 20s))
        << first->standardErrorSoFar();
    ASSERT_TRUE(waitForHealth(18484, 20s));
    EXPECT_EQ(readFile(lockPath), std::to_string(first->pid()) + "\n");
    ASSERT_TRUE(waitForStandardError(*first, "main window restored", 10s));
    const auto restoresBefore =
        countOccurrences(first->standardErrorSoFar(), "main window restored");

    const auto second = runProcess({bundleExecutable}, sandbox.options());
    EXPECT_EQ(second.exitCode, 0) << second.standardError;
    EXPECT_EQ(second.standardError.find("runs without a window"), std::string::npos)
        << "the second copy must not start";

    // The running copy is asked to bring its window back, and keeps running.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (countOccurrences(first->standardErrorSoFar(), "main window restored") <=
               restoresBefore &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_GT(countOccurrences(first->standardErrorSoFar(), "main window restored"),
              restoresBefore);
    EXPECT_FALSE(first->wait(0ms).has_value()) << "the first copy must keep running";
    EXPECT_EQ(readFile(lockPath), std::to_string(first->pid()) + "\n");
}

TEST(SingleInstance, NextStartAfterAKillTakesTheLockAtOnce) {
    const AppSandbox sandbox;
    {
        const auto first = sandbox.start({});
        ASSERT_TRUE(waitForHealth(18484, 20s)) << first->standardErrorSoFar();
        first->kill(SIGKILL);
        ASSERT_TRUE(first->wait(10s).has_value());
    }
    const auto next = sandbox.start({});
    ASSERT_TRUE(waitForStandardError(*next, "runs without a window", 20s))
        << next->standardErrorSoFar();
    ASSERT_TRUE(waitForHealth(18484, 20s)) << next->standardErrorSoFar();
    EXPECT_EQ(readFile(lockPath), std::to_string(next->pid()) + "\n");
}

TEST(SingleInstance, TerminationSignalShutsDownCleanly) {
    const AppSandbox sandbox;
    const auto app = sandbox.start({});
    ASSERT_TRUE(waitForHealth(18484, 20s)) << app->standardErrorSoFar();
    app->kill(SIGTERM);
    const auto result = app->wait(10s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->exitCode, 0) << result->standardError;
    EXPECT_FALSE(httpGet(18484, "/health").has_value()) << "the port is given back";
}

} // namespace
} // namespace zevra::testing
