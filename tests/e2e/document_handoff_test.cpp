#include "app_process.h"
#include "support/loopback_http.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace zevra::testing
