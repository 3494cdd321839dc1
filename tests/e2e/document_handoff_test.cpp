#include "app_process.h"
#include "support/loopback_client.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

// Files named on the command line open once launch has finished, in order; a second copy hands
// its files to the running one instead of starting.
TEST(DocumentHandoff, CommandLineAndSecondCopyDocumentsOpenInTheRunningCopy) {
    const AppSandbox sandbox;
    const TemporaryFolder documents;
    const auto first = documents.write("first.zev", R"({"b": 1, "a": 2})");
    const auto second = documents.write("Second.ZEVR", "plain text, not JSON");
    const auto ignored = documents.write("notes.txt", "not a document");
    documents.write("later.zev", R"({"kind": "note"})");

    const auto app = sandbox.start({first.string(), ignored.string(), second.string()});
    ASSERT_TRUE(waitForStandardError(*app, "document window: Second.ZEVR — ZEVRA", 20s))
        << app->standardErrorSoFar();
    const auto log = app->standardErrorSoFar();
    const auto firstAt = log.find("document window: first.zev — ZEVRA");
    ASSERT_NE(firstAt, std::string::npos);
    EXPECT_LT(firstAt, log.find("document window: Second.ZEVR — ZEVRA"));
    EXPECT_EQ(log.find("notes.txt"), std::string::npos);

    // A relative path is resolved against the second copy's own folder.
    ProcessOptions options = sandbox.options();
    const auto result = runProcess({"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" later.zev",
                                    documents.path().string(), bundleExecutable},
                                   options);
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_TRUE(waitForStandardError(*app, "document window: later.zev — ZEVRA", 10s))
        << app->standardErrorSoFar();
    EXPECT_FALSE(app->wait(0ms).has_value());
}

// A named pipe with a document's name has no writer: opening it must not stall the main thread,
// or every later document, restore request and termination signal waits behind it.
TEST(DocumentHandoff, NamedPipeInPlaceOfADocumentLeavesTheAppResponsive) {
    const AppSandbox sandbox;
    const TemporaryFolder documents;
    const auto pipe = documents.path() / "x.zev";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const auto after = documents.write("after.zev", "{}");
    const auto later = documents.write("later.zev", "{}");

    const auto app = sandbox.start({pipe.string(), after.string()});
    ASSERT_TRUE(waitForStandardError(*app, "document window: after.zev — ZEVRA", 20s))
        << app->standardErrorSoFar();

    const auto handedOver =
        runProcess({bundleExecutable, pipe.string(), later.string()}, sandbox.options());
    EXPECT_EQ(handedOver.exitCode, 0) << handedOver.standardError;
    EXPECT_TRUE(waitForStandardError(*app, "document window: later.zev — ZEVRA", 10s))
        << app->standardErrorSoFar();
    EXPECT_EQ(app->standardErrorSoFar().find("document window: x.zev"), std::string::npos);

    app->kill(SIGTERM);
    const auto result = app->wait(10s);
    ASSERT_TRUE(result.has_value()) << "termination waits behind the pipe";
    EXPECT_EQ(result->exitCode, 0) << result->standardError;
}

} // namespace
} // namespace zevra::testing
