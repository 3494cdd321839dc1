#include "app_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

// The 1200 x 800 window is centred on the 1280 x 1024 screen at 40, 112; its page starts below
// the 25 pixels of the menu bar.
constexpr int pageLeft = 40;
constexpr int pageTop = 112 + 25;

// Whether `colour` ("#RRGGBB") shows anywhere in a rectangle of the page.
bool pageShows(const std::filesystem::path& png, int x, int y, int width, int height,
               const std::string& colour) {
    const auto result =
        runProcess({"/usr/bin/convert", png.string(), "-crop",
                    std::to_string(width) + "x" + std::to_string(height) + "+" +
                        std::to_string(pageLeft + x) + "+" + std::to_string(pageTop + y),
                    "+repage", "-unique-colors", "-depth", "8", "txt:-"});
    return result.standardOutput.find("  " + colour) != std::string::npos;
}

class ShellPage : public ::testing::Test {
protected:
    const std::string display = testDisplay();
    const AppSandbox sandbox;
    std::unique_ptr<BackgroundProcess> app;

    void SetUp() override {
        ASSERT_FALSE(display.empty());
        const auto home = sandbox.home();
        std::filesystem::create_directories(home / "Desktop/vintaro-agent/_deploy/kelmor");
        std::ofstream(home / "Desktop/vintaro-agent/_deploy/kelmor/quarterly-plan.md")
            << "# Quarterly plan\n\nShip the floating windows.\n";
        std::filesystem::create_directories(home / "Desktop/ZEVRA Downloads");
        std::ofstream(home / "Desktop/ZEVRA Downloads/export.csv") << "a,b\n1,2\n";
        const auto options =
            withRecordingBrowser(sandbox, sandbox.options(display), home / "opened-urls");
        // The file manager's D-Bus call, likewise recorded: its arguments name the folder.
        std::ofstream(home / "bin/gdbus")
            << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << (home / "revealed").string() << "'\n";
        std::filesystem::permissions(home / "bin/gdbus", std::filesystem::perms::owner_all);
        app = std::make_unique<BackgroundProcess>(std::vector<std::string>{bundleExecutable},
                                                  options);
        ASSERT_TRUE(
            waitForStandardError(*app, "load finished: http://127.0.0.1:18484/index.html", 60s))
            << app->standardErrorSoFar();
    }

    // Takes a screenshot into the artefacts until `shows` holds for it.
    bool screenshotShows(const std::string& name,
                         const std::function<bool(const std::filesystem::path&)>& shows) {
        const auto png = artifactsFolder() / name;
        return waitUntil(
            [&] {
                return runProcess({"/usr/bin/import", "-display", display, "-window", "root",
                                   png.string()})
                               .exitCode == 0 &&
                       shows(png);
            },
            20s);
    }

    void xdotool(const std::vector<std::string>& arguments) {
        testing::xdotool(display, arguments);
    }
    void clickPage(int x, int y) {
        xdotool(
            {"mousemove", std::to_string(pageLeft + x), std::to_string(pageTop + y), "click", "1"});
    }
};

// No site in the test's network: the page says so, shows the user signed out, and search and
// the downloads list still answer.
TEST_F(ShellPage, LocalFeaturesWorkWhileTheSiteIsUnreachable) {
    EXPECT_TRUE(screenshotShows("shell-signed-out-offline.png", [](const auto& png) {
        // The notice; the bar's padding and the grey tab fill the window's corners, and outside
        // the window the bare screen is black.
        return pageShows(png, 0, 100, 1200, 60, "#FFF8C4") &&
               pixelColour(png, 44, 116) + pixelColour(png, 1230, 900) + pixelColour(png, 10, 10) +
                       pixelColour(png, 1260, 1000) ==
                   "#C0C0C0#C0C0C0#000000#000000";
    })) << app->standardErrorSoFar();

    clickPage(560, 20);
    xdotool({"type", "--delay", "30", "quarterly"});
    // The first result is selected; the keyboard moves and opens it.
    EXPECT_TRUE(screenshotShows("shell-search.png", [](const auto& png) {
        return pageShows(png, 300, 40, 520, 60, "#000080");
    }));
    xdotool({"key", "Down", "Up", "Return"});
    EXPECT_TRUE(screenshotShows("shell-document.png", [](const auto& png) {
        // The viewer's own page fills the tab: neither the shell's grey nor a blank frame.
        const auto colour = pixelColour(png, pageLeft + 400, pageTop + 600);
        return !pageShows(png, 300, 40, 520, 60, "#000080") && colour != "#FFFFFF" &&
               colour != "#C0C0C0";
    }));

    clickPage(40, 92); // "downloads" in the tools row
    EXPECT_TRUE(screenshotShows("shell-downloads.png", [](const auto& png) {
        return pageShows(png, 870, 150, 330, 80, "#0000EE"); // the file's link
    }));
    clickPage(1123, 164); // "reveal"
    const auto revealed = sandbox.home() / "revealed";
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(revealed); }, 20s));
    EXPECT_NE(
        readFile(revealed).find("file://" + sandbox.home().string() + "/Desktop/ZEVRA Downloads"),
        std::string::npos)
        << readFile(revealed);

    clickPage(487, 90);  // "theme"
    clickPage(695, 367); // "night", in the card centred on the page
    xdotool({"key", "Escape"});
    EXPECT_TRUE(screenshotShows("shell-theme-night.png", [](const auto& png) {
        return pixelColour(png, pageLeft + 4, pageTop + 4) == "#3C3C44";
    }));
    EXPECT_FALSE(app->wait(0ms).has_value()) << app->standardErrorSoFar();
}

TEST_F(ShellPage, SignInButtonOpensTheConnectPageInTheBrowser) {
    const auto opened = sandbox.home() / "opened-urls";
    clickPage(1099, 19);
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(opened); }, 20s));
    EXPECT_TRUE(std::regex_match(
        readFile(opened),
        std::regex("http://127\\.0\\.0\\.1:18484/app-connect\\?nonce=[0-9a-f]{64}\n")))
        << readFile(opened);
    // Kept to look at: the page waiting for the browser, with a way to cancel.
    static_cast<void>(runProcess({"/usr/bin/import", "-display", display, "-window", "root",
                                  (artifactsFolder() / "shell-sign-in-pending.png").string()}));
}

} // namespace
} // namespace zevra::testing
