#include "app_process.h"
#include "build_config.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;
constexpr const char* shellLoaded = "load finished: http://127.0.0.1:18484/index.html";

// A point inside the centred main window, below its menu bar.
constexpr int insideX = 100;
constexpr int insideY = 400;

std::string display() {
    const auto name = testDisplay();
    EXPECT_FALSE(name.empty()) << "run through scripts/run-tests.sh, which starts Xvfb";
    return name;
}

std::string xdotool(const std::string& display, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"/usr/bin/xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProcessOptions options;
    options.environment = {"DISPLAY=" + display};
    return runProcess(argv, options).standardOutput;
}

std::set<std::string> lines(const std::string& text) {
    std::set<std::string> all;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        all.insert(line);
    }
    return all;
}

// The app's web content processes (renderers), wherever the engine started them below it.
std::vector<pid_t> webProcessesOf(pid_t app) {
    std::vector<std::pair<pid_t, pid_t>> parents; // pid, parent
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        if (!std::getline(stat, text) || text.rfind(')') == std::string::npos) {
            continue;
        }
        std::istringstream rest(text.substr(text.rfind(')') + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        parents.emplace_back(std::stoi(name), parent);
    }
    std::vector<pid_t> below{app};
    for (std::size_t i = 0; i < below.size(); ++i) {
        for (const auto& [pid, parent] : parents) {
            if (parent == below[i]) {
                below.push_back(pid);
            }
        }
    }
    std::vector<pid_t> renderers;
    for (const pid_t pid : below) {
        if (readFile("/proc/" + std::to_string(pid) + "/comm").starts_with("WebKitWebProces")) {
            renderers.push_back(pid);
        }
    }
    return renderers;
}

// Navigations from the main frame and from frames, observed where the app hands URLs to the
// desktop and where it saves data: pages.
TEST(ShellNavigation, EachRuleThroughAPageOfLinks) {
    const auto screen = display();
    const AppSandbox sandbox;
    const std::string partner = config::PartnerAuthHost;
    const std::string page =
        "<!doctype html><body>"
        "<iframe src='smb://h/s?oauth2/auth'></iframe>"
        "<iframe src='https://accounts.google.com/framed'></iframe>"
        "<iframe src='data:text/html,<p>framed</p>'></iframe>"
        "<script>var steps = ['file:///etc/hosts?oauth2/auth', 'https://" +
        partner +
        "/oauth/main', 'data:image/png;base64,aGVsbG8=', 'https://accounts.google.com/last'];"
        "function next() { var url = steps.shift(); if (!url) return; location.href = url;"
        "  setTimeout(next, 300); }"
        "setTimeout(next, 300);</script></body>";
    const auto record = sandbox.home() / "opened-urls";
    BackgroundProcess app({bundleWithShellPage(sandbox, page).string()},
                          withRecordingBrowser(sandbox, sandbox.options(screen), record));
    EXPECT_TRUE(
        waitUntil([&] { return readFile(record).find("/last\n") != std::string::npos; }, 60s))
        << app.standardErrorSoFar();
    EXPECT_EQ(lines(readFile(record)), (std::set<std::string>{"https://accounts.google.com/framed",
                                                              "https://" + partner + "/oauth/main",
                                                              "https://accounts.google.com/last"}));
    const auto output = app.standardErrorSoFar();
    EXPECT_EQ(standardErrorCount(app, "data download of 5 bytes (.png)"), 1u) << output;
    EXPECT_EQ(output.find("(.bin)"), std::string::npos) << "the framed data: page was saved";
    EXPECT_EQ(standardErrorCount(app, shellLoaded), 1u) << "the shell was left or reloaded";
}

// The page's functions each load the shell again with their name; the page has no background
// of its own, so the window's (themed) colour shows through.
TEST(ShellMenu, KeysRunTheirSnippetsAndTheThemeRecoloursTheWindow) {
    const auto screen = display();
    const AppSandbox sandbox;
    const std::string page =
        "<!doctype html><body><script>"
        "function record(name) { location.href = '/index.html?called=' + name; }"
        "function zevraReloadActiveTab() { record('reload'); }"
        "window.navRefreshAll = function () { record('reloadAll'); };"
        "function switchTab(id) { record('tab-' + id); }"
        "if (!location.search) window.webkit.messageHandlers.themeChange.postMessage(' "
        "#204080\\n');"
        "</script></body>";
    BackgroundProcess app({bundleWithShellPage(sandbox, page).string()}, sandbox.options(screen));
    ASSERT_TRUE(waitForStandardError(app, shellLoaded, 60s)) << app.standardErrorSoFar();
    EXPECT_TRUE(waitUntil(
        [&] { return screenColour(screen, "theme.png", insideX, insideY) == "#204080"; }, 10s))
        << "screenshot kept as theme.png";

    const auto window = xdotool(screen, {"search", "--name", "^ZEVRA$"});
    ASSERT_FALSE(window.empty());
    xdotool(screen, {"windowfocus", "--sync", window.substr(0, window.find('\n'))});
    const std::pair<const char*, const char*> keys[] = {
        {"ctrl+t", nullptr}, // the page has no tabs dialogue: nothing happens
        {"ctrl+r", "?called=reload"},
        {"ctrl+shift+r", "?called=reloadAll"},
        {"ctrl+1", "?called=tab-home"},
    };
    std::size_t loads = 1;
    for (const auto& [key, called] : keys) {
        xdotool(screen, {"key", "--clearmodifiers", key});
        if (called == nullptr) {
            continue;
        }
        EXPECT_TRUE(waitForStandardError(app, std::string(shellLoaded) + called, 10s)) << key;
        EXPECT_EQ(standardErrorCount(app, shellLoaded), ++loads) << app.standardErrorSoFar();
    }
    // The page has no search of its own: Find opens the view's find bar.
    xdotool(screen, {"key", "--clearmodifiers", "ctrl+f"});
    EXPECT_TRUE(waitForStandardError(app, "find bar shown", 10s));
    static_cast<void>(screenColour(screen, "find-bar.png", 0, 0));
    // Check for Updates runs the app's update check; no release host is reachable here, and
    // the message says why.
    xdotool(screen, {"key", "--clearmodifiers", "ctrl+u"});
    EXPECT_TRUE(waitForStandardError(app, "alert: Could not check for updates: The ", 40s))
        << app.standardErrorSoFar();
}

TEST(RendererRecovery, ThreeCrashesIn30SecondsShowTheRecoveryPageAndAreJournalled) {
    const auto screen = display();
    const AppSandbox sandbox;
    const std::string page = "<!doctype html><body style='background:#204080'></body>";
    BackgroundProcess app({bundleWithShellPage(sandbox, page).string()}, sandbox.options(screen));
    ASSERT_TRUE(waitForStandardError(app, shellLoaded, 60s)) << app.standardErrorSoFar();
    for (std::size_t crash = 1; crash <= 3; ++crash) {
        ASSERT_TRUE(waitUntil(
            [&] { return screenColour(screen, "renderer.png", insideX, insideY) == "#204080"; },
            10s))
            << "the shell before crash " << crash;
        const auto renderers = webProcessesOf(app.pid());
        ASSERT_FALSE(renderers.empty());
        for (const pid_t renderer : renderers) {
            kill(renderer, SIGKILL);
        }
        ASSERT_TRUE(waitUntil(
            [&] { return standardErrorCount(app, "web content process terminated") == crash; },
            10s));
        if (crash < 3) {
            ASSERT_TRUE(
                waitUntil([&] { return standardErrorCount(app, shellLoaded) == crash + 1; }, 10s));
        }
    }
    // The recovery page has the built-in grey look, not the shell's blue.
    EXPECT_TRUE(waitUntil(
        [&] {
            return screenColour(screen, "renderer-recovery.png", insideX, insideY) == "#C0C0C0";
        },
        10s));
    const auto journal = readFile(sandbox.home() / ".local/share/ZEVRA/reliability-events.plist");
    std::size_t terminations = 0;
    for (auto at = journal.find("web_content_process_terminated"); at != std::string::npos;
         at = journal.find("web_content_process_terminated", at + 1)) {
        ++terminations;
    }
    EXPECT_EQ(terminations, 3u) << journal;
    EXPECT_NE(journal.find("recovery count in 30 seconds: 3"), std::string::npos);
}

// Ctrl+W only hides the main window; launching again brings back the same one, page and all.
TEST(MainWindowRestore, ClosedWindowComesBackWithItsPageOnTheNextLaunch) {
    const auto screen = display();
    const AppSandbox sandbox;
    const std::string page = "<!doctype html><body style='background:#204080'></body>";
    BackgroundProcess app({bundleWithShellPage(sandbox, page).string()}, sandbox.options(screen));
    ASSERT_TRUE(waitForStandardError(app, shellLoaded, 60s)) << app.standardErrorSoFar();
    const auto visible = [&] {
        return !xdotool(screen, {"search", "--onlyvisible", "--name", "^ZEVRA$"}).empty();
    };
    ASSERT_TRUE(waitUntil(visible, 10s));
    const auto window = xdotool(screen, {"search", "--name", "^ZEVRA$"});
    xdotool(screen, {"windowfocus", "--sync", window.substr(0, window.find('\n'))});
    xdotool(screen, {"key", "--clearmodifiers", "ctrl+w"});
    ASSERT_TRUE(waitUntil([&] { return !visible(); }, 10s)) << "Ctrl+W left the window up";

    const auto second = sandbox.start({}, screen);
    const auto exited = second->wait(30s);
    ASSERT_TRUE(exited.has_value());
    EXPECT_EQ(exited->exitCode, 0);
    EXPECT_TRUE(waitUntil(visible, 10s));
    EXPECT_TRUE(waitUntil(
        [&] { return screenColour(screen, "restored.png", insideX, insideY) == "#204080"; }, 10s));
    EXPECT_EQ(standardErrorCount(app, shellLoaded), 1u) << "the page was loaded again";
}

TEST(LaunchDocuments, ADocumentOpenedAtLaunchIsTheFrontWindow) {
    const auto screen = display();
    const AppSandbox sandbox;
    const auto document = sandbox.home() / "x.zev";
    std::ofstream(document) << R"({"kind": "note"})";
    const auto app = sandbox.start({document.string()}, screen);
    ASSERT_TRUE(waitForStandardError(*app, "document window: x.zev", 60s))
        << app->standardErrorSoFar();
    // Both steps of the main window's restore have run.
    ASSERT_TRUE(
        waitUntil([&] { return standardErrorCount(*app, "main window restored") >= 2; }, 10s));
    const auto front = [&] { return xdotool(screen, {"getwindowfocus", "getwindowname"}); };
    EXPECT_TRUE(waitUntil([&] { return front() == "x.zev \u2014 ZEVRA\n"; }, 5s)) << front();
    static_cast<void>(screenColour(screen, "document-at-launch.png", 0, 0));
}

} // namespace
} // namespace zevra::testing
