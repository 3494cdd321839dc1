#include "app_process.h"
#include "support/loopback_client.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto npos = std::string::npos;
constexpr std::string_view health = "GET /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n\r\n";

// One copy runs; later copies hand it their requests and exit. A named pipe with a document's
// name has no writer: opening it must not stall the main thread, or every later document,
// restore request and termination signal waits behind it.
TEST(SingleInstance, LaterCopiesHandTheirRequestsToTheRunningOne) {
    const AppSandbox sandbox;
    const TemporaryFolder documents;
    const auto pipe = documents.path() / "x.zev";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const auto first = documents.write("first.zev", R"({"b": 1, "a": 2})");
    const auto second = documents.write("Second.ZEVR", "plain text, not JSON");
    const auto notes = documents.write("notes.txt", "not a document");
    documents.write("later.zev", R"({"kind": "note"})");

    // Files named on the command line open once launch has finished, in order.
    const auto app =
        sandbox.start({first.string(), pipe.string(), notes.string(), second.string()});
    ASSERT_TRUE(waitForStandardError(*app, "document window: Second.ZEVR — ZEVRA", 20s))
        << app->standardErrorSoFar();
    ASSERT_TRUE(waitUntil([&] { return exchangeRaw(18484, health).has_value(); }, 20s));
    ASSERT_TRUE(waitForStandardError(*app, "main window restored", 10s));
    const auto log = app->standardErrorSoFar();
    EXPECT_LT(log.find("document window: first.zev — ZEVRA"), log.find("Second.ZEVR — ZEVRA"));
    EXPECT_EQ(log.find("notes.txt"), npos);
    const std::string lockPath = "/tmp/com.kelmor.zevra." + std::to_string(getuid()) + ".lock";
    const std::string pidLine = std::to_string(app->pid()) + "\n";
    EXPECT_EQ(readFile(lockPath), pidLine);

    // Without documents, a later copy asks for the window back.
    const auto before = app->standardErrorSoFar().size();
    const auto restore = runProcess({bundleExecutable}, sandbox.options());
    EXPECT_EQ(restore.exitCode, 0) << restore.standardError;
    EXPECT_EQ(restore.standardError.find("runs without a window"), npos) << "it must not start";
    EXPECT_TRUE(waitUntil(
        [&] { return app->standardErrorSoFar().find("main window restored", before) != npos; },
        10s));

    // A relative path is resolved against the later copy's own folder.
    const auto handoff = runProcess({"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" x.zev later.zev",
                                     documents.path().string(), bundleExecutable},
                                    sandbox.options());
    EXPECT_EQ(handoff.exitCode, 0) << handoff.standardError;
    EXPECT_TRUE(waitForStandardError(*app, "document window: later.zev — ZEVRA", 10s))
        << app->standardErrorSoFar();
    EXPECT_EQ(app->standardErrorSoFar().find("document window: x.zev"), npos);
    EXPECT_EQ(readFile(lockPath), pidLine);

    app->kill(SIGTERM);
    const auto result = app->wait(10s);
    ASSERT_TRUE(result.has_value()) << "termination waits behind the pipe";
    EXPECT_EQ(result->exitCode, 0) << result->standardError;
    EXPECT_FALSE(exchangeRaw(18484, health).has_value()) << "the port is given back";
}

} // namespace
} // namespace zevra::testing
