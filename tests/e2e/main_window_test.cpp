#include "app_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

std::filesystem::path artifactsFolder() {
    const char* folder = std::getenv("ZEVRA_TEST_ARTIFACTS");
    std::filesystem::path path = folder != nullptr ? folder : ZEVRA_BINARY_DIR "/test-artifacts";
    std::filesystem::create_directories(path);
    return path;
}

// The colour of one screen pixel of a PNG, as ImageMagick writes it: "#RRGGBB".
std::string pixelColour(const std::filesystem::path& png, int x, int y) {
    const auto result =
        runProcess({"/usr/bin/convert", png.string(), "-crop",
                    "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "txt:-"});
    // "0,0: (192,192,192)  #C0C0C0  gray(192)" after a "# ImageMagick ..." comment line.
    const auto hash = result.standardOutput.find("  #");
    return hash == std::string::npos ? "" : result.standardOutput.substr(hash + 2, 7);
}

TEST(MainWindow, ShowsTheShellPageFromTheLocalServer) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty()) << "run through scripts/run-tests.sh, which starts Xvfb";
    const AppSandbox sandbox;
    const auto app = sandbox.start({}, display);

    ASSERT_TRUE(waitForStandardError(*app, "load finished: http://127.0.0.1:18484/index.html", 60s))
        << app->standardErrorSoFar();
    EXPECT_EQ(app->standardErrorSoFar().find("runs without a window"), std::string::npos);

    // The 1200 x 800 window is centred on the 1280 x 1024 screen: it spans x 40..1240 and
    // y 112..912. A point near its top-left corner shows the page's grey; outside it the bare
    // screen is black.
    const auto screenshot = artifactsFolder() / "main-window.png";
    std::string inside;
    for (int attempt = 0; attempt < 50 && inside != "#C0C0C0"; ++attempt) {
        const auto shot = runProcess(
            {"/usr/bin/import", "-display", display, "-window", "root", screenshot.string()});
        ASSERT_EQ(shot.exitCode, 0) << shot.standardError;
        inside = pixelColour(screenshot, 60, 130);
        if (inside != "#C0C0C0") {
            std::this_thread::sleep_for(100ms);
        }
    }
    EXPECT_EQ(inside, "#C0C0C0") << "screenshot kept at " << screenshot;
    EXPECT_EQ(pixelColour(screenshot, 10, 10), "#000000");
    EXPECT_EQ(pixelColour(screenshot, 1260, 1000), "#000000");
    EXPECT_EQ(pixelColour(screenshot, 1230, 900), "#C0C0C0");
    EXPECT_FALSE(app->wait(0ms).has_value()) << app->standardErrorSoFar();
}

} // namespace
} // namespace zevra::testing
