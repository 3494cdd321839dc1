#include "app_process.h"
#include "platform/clock.h"
#include "reliability/reliability_state.h"

#include <signal.h>

#include <gtest/gtest.h>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

TEST(SafeStartWindow, ShowsTheSafeStartPageAfterThreeRapidUncleanExitsAndKeepsItThroughACrash) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty());
    const AppSandbox sandbox;
    // Three launches that never quit cleanly, so the app's is the third rapid one after them.
    for (int launch = 0; launch < 3; ++launch) {
        ReliabilityState(sandbox.home() / ".local/share/ZEVRA", systemClock(), "dev", 1)
            .beginLaunch();
    }
    const auto app = sandbox.start({}, display);
    const std::string loaded = "load finished: http://127.0.0.1:18484/index.html";
    ASSERT_TRUE(waitForStandardError(*app, loaded, 60s)) << app->standardErrorSoFar();

    // The page's box (580 px of text, 28 px padding and a 2 px white border a side) is centred
    // in the window's content at x 40..1240: its left border is at x 320..321, at mid-height.
    const auto showsSafeStart = [&](const std::string& name) {
        return waitUntil(
            [&] {
                return screenColour(display, name, 321, 512) == "#FFFFFF" &&
                       pixelColour(artifactsFolder() / name, 323, 512) == "#C0C0C0";
            },
            10s);
    };
    EXPECT_TRUE(showsSafeStart("safe-start-window.png")) << "screenshot kept";

    // A renderer crash brings back the safe-start page, not the shell the app would load.
    const auto renderers = webProcessesOf(app->pid());
    ASSERT_FALSE(renderers.empty());
    for (const pid_t renderer : renderers) {
        kill(renderer, SIGKILL);
    }
    ASSERT_TRUE(waitForStandardError(*app, "web content process terminated", 10s));
    ASSERT_TRUE(waitUntil([&] { return standardErrorCount(*app, loaded) == 2; }, 10s))
        << app->standardErrorSoFar();
    EXPECT_TRUE(showsSafeStart("safe-start-after-crash.png")) << "screenshot kept";
}

} // namespace
} // namespace zevra::testing
