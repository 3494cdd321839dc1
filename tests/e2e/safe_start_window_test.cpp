#include "app_process.h"
#include "platform/clock.h"
#include "reliability/reliability_state.h"

#include <gtest/gtest.h>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

TEST(SafeStartWindow, ShowsTheSafeStartPageAfterThreeRapidUncleanExits) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty()) << "run through scripts/run-tests.sh, which starts Xvfb";
    const AppSandbox sandbox;
    // Three launches that never quit cleanly, so the app's is the third rapid one after them.
    for (int launch = 0; launch < 3; ++launch) {
        ReliabilityState(sandbox.home() / ".local/share/ZEVRA", systemClock(), "dev", 1)
            .beginLaunch();
    }
    const auto app = sandbox.start({}, display);
    ASSERT_TRUE(waitForStandardError(*app, "load finished: http://127.0.0.1:18484/index.html", 60s))
        << app->standardErrorSoFar();

    // The page's box (580 px of text, 28 px padding and a 2 px white border a side) is centred
    // in the window's content at x 40..1240: its left border is at x 320..321, at mid-height.
    const auto screenshot = artifactsFolder() / "safe-start-window.png";
    EXPECT_TRUE(waitUntil(
        [&] {
            return runProcess({"/usr/bin/import", "-display", display, "-window", "root",
                               screenshot.string()})
                           .exitCode == 0 &&
                   pixelColour(screenshot, 321, 512) == "#FFFFFF";
        },
        10s))
        << "screenshot kept at " << screenshot;
    EXPECT_EQ(pixelColour(screenshot, 323, 512), "#C0C0C0");
}

} // namespace
} // namespace zevra::testing
