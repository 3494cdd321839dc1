#include "app_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

TEST(MainWindow, ShowsTheShellPageFromTheLocalServer) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty()) << "run through scripts/run-tests.sh, which starts Xvfb";
    const AppSandbox sandbox;
    const auto app = sandbox.start({}, display);
    ASSERT_TRUE(waitForStandardError(*app, "load finished: http://127.0.0.1:18484/index.html", 60s))
        << app->standardErrorSoFar();
    EXPECT_EQ(app->standardErrorSoFar().find("runs without a window"), std::string::npos);

    // The 1200 x 800 window is centred on the 1280 x 1024 screen: it spans x 40..1240 and
    // y 112..912 and shows the page's grey; outside it the bare screen is black.
    const auto screenshot = artifactsFolder() / "main-window.png";
    // Inside: the bar's padding and, with no site to reach, the grey notice filling the tab.
    const auto insideColours = [&] {
        const auto shot = runProcess(
            {"/usr/bin/import", "-display", display, "-window", "root", screenshot.string()});
        return shot.exitCode == 0
                   ? pixelColour(screenshot, 44, 116) + pixelColour(screenshot, 1230, 900)
                   : shot.standardError;
    };
    EXPECT_TRUE(waitUntil([&] { return insideColours() == "#C0C0C0#C0C0C0"; }, 10s))
        << "screenshot kept at " << screenshot;
    const std::tuple<int, int, std::string> pixels[] = {{10, 10, "#000000"},
                                                        {1260, 1000, "#000000"}};
    for (const auto& [x, y, colour] : pixels) {
        EXPECT_EQ(pixelColour(screenshot, x, y), colour) << x << "," << y;
    }
    EXPECT_FALSE(app->wait(0ms).has_value()) << app->standardErrorSoFar();
}

} // namespace
} // namespace zevra::testing
