// The safe-start page in the real window under Xvfb, after three rapid unclean exits.
#include "app_process.h"
#include "platform/clock.h"
#include "reliability/reliability_state.h"

#include <gtest/gtest.h>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

TEST(SafeStartWindow, ShowsTheSafeStartPageInsteadOfTheShell) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty()) << "run through scripts/run-tests.sh, which starts Xvfb";
    const AppSandbox sandbox;
    // Three launches that never quit cleanly: the app's own launch is the third rapid one after.
    for (int launch = 0; launch < 3; ++launch) {
        ReliabilityState(sandbox.home() / ".local/share/ZEVRA", systemClock(), "dev", 1)
            .beginLaunch();
    }
    const auto app = sandbox.start({}, display);
    ASSERT_TRUE(waitForStandardError(*app, "load finished: http://127.0.0.1:18484/index.html", 60s))
        << app->standardErrorSoFar();
    EXPECT_NE(app->standardErrorSoFar().find("safe start after 3 rapid unclean exits"),
              std::string::npos);

    // The window's content spans x 40..1240 of the 1280 x 1024 screen; the page's box, at most
    // 580 px of text wide plus 28 px of padding and a 2 px white border on each side, is
    // centred in it, so its left border is at x 320..321, half-way down at y 512.
    const auto screenshot = artifactsFolder() / "safe-start-window.png";
    const auto borderColour = [&] {
        const auto shot = runProcess(
            {"/usr/bin/import", "-display", display, "-window", "root", screenshot.string()});
        return shot.exitCode == 0 ? pixelColour(screenshot, 321, 512) : shot.standardError;
    };
    EXPECT_TRUE(waitUntil([&] { return borderColour() == "#FFFFFF"; }, 10s))
        << "screenshot kept at " << screenshot;
    EXPECT_EQ(pixelColour(screenshot, 323, 512), "#C0C0C0");
}

} // namespace
} // namespace zevra::testing
