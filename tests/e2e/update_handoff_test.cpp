// The session handed over across an update: the running version's update flow stages it, and
// the next version, started as a second copy of the real bundle, takes it at launch.
#include "app_process.h"
#include "support/loopback_client.h"
#include "update/app_flow_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <signal.h>

namespace zevra {
namespace {

using namespace std::chrono_literals;

// A copy of the bundle in the sandbox that reports `version`; returns its executable.
std::filesystem::path bundleAsVersion(const testing::AppSandbox& sandbox,
                                      const std::string& version) {
    const auto bundle = sandbox.home() / "Applications/ZEVRA.app";
    std::filesystem::create_directories(bundle.parent_path());
    std::filesystem::copy(ZEVRA_BUNDLE_DIR, bundle, std::filesystem::copy_options::recursive);
    const auto plist = bundle / "Contents/Info.plist";
    // "$01": a group number of two digits, so a version starting with a digit stays text.
    const std::regex shortVersion("(<key>CFBundleShortVersionString</key>\\s*<string>)[^<]*");
    const auto text = std::regex_replace(testing::readFile(plist), shortVersion, "$01" + version);
    std::ofstream(plist, std::ios::trunc) << text;
    return bundle / "Contents/MacOS/ZEVRA";
}

TEST(UpdateHandoff, TheNewVersionStartedAfterTheUpdateTakesTheSession) {
    const testing::AppSandbox sandbox;
    AppFlowTest t(sandbox.home() / ".local/share/ZEVRA");
    t.serve();
    t.token = std::string(32, 'a');
    t.check(true, {0}); // "Install and Relaunch"; the installer is only recorded
    ASSERT_TRUE(t.quit);
    ASSERT_TRUE(std::filesystem::exists(t.handoff.fileURL()));

    testing::BackgroundProcess app({bundleAsVersion(sandbox, "1.4.0").string()}, sandbox.options());
    const auto keyFile = sandbox.home() / "runtime/ZEVRA/launch-key";
    ASSERT_TRUE(testing::waitUntil([&] { return std::filesystem::exists(keyFile); }, 20s))
        << app.standardErrorSoFar();
    const std::string request = "GET /auth-bridge/status HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n"
                                "Origin: http://127.0.0.1:18484\r\nX-Zevra-Launch-Key: " +
                                testing::readFile(keyFile) + "\r\n\r\n";
    std::string status;
    EXPECT_TRUE(testing::waitUntil(
        [&] {
            status = testing::exchangeRaw(18484, request).value_or(testing::HttpAnswer{}).body;
            return status.find("\"authenticated\":true") != std::string::npos;
        },
        20s))
        << status << "\n"
        << app.standardErrorSoFar();
    EXPECT_FALSE(std::filesystem::exists(t.handoff.fileURL())) << "taken once";
    app.kill(SIGTERM);
    EXPECT_TRUE(app.wait(10s).has_value());
}

} // namespace
} // namespace zevra
