#include "app_process.h"
#include "build_config.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;
constexpr const char* shellLoaded = "load finished: http://127.0.0.1:18484/index.html";

constexpr const char* downloadsFolder = "Desktop/ZEVRA Downloads";

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

std::set<std::string> folderNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The windows on screen that an xdotool search finds.
std::size_t visibleWindowCount(const std::string& screen, const std::vector<std::string>& search) {
    std::vector<std::string> arguments{"search", "--onlyvisible"};
    arguments.insert(arguments.end(), search.begin(), search.end());
    return lines(xdotool(screen, arguments)).size();
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
    // Only the top-level data: page is saved, not the framed one.
    EXPECT_EQ(folderNames(sandbox.home() / downloadsFolder),
              (std::set<std::string>{"zevra-download.png"}));
    EXPECT_EQ(readFile(sandbox.home() / downloadsFolder / "zevra-download.png"), "hello");
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

// Floaters posted by the shell and by pages in floaters: one window per identifier, kept above
// the others, and never more than the cap however many a page asks for.
TEST(ShellFloaters, OneWindowPerIdentifierAndNoMoreThanTheCap) {
    const auto screen = display();
    const AppSandbox sandbox;
    // The click on the shell's blank-target link is a new-window request of the main view.
    const std::string page =
        "<!doctype html><body style='margin:0'><a target=_blank href='/fourth.html' "
        "style='display:block;height:100vh'>new window</a><script>"
        "var post = function (m) { window.webkit.messageHandlers.zevraFloater.postMessage(m); };"
        "document.querySelector('a').addEventListener('click', function () {"
        "  post({id: 'notes', url: '/floater.html', label: 'Notes', w: 320, h: NaN});"
        "  post({id: 'notes', url: '/floater.html', label: 'Notes'}); });"
        "</script></body>";
    const auto executable = bundleWithShellPage(sandbox, page);
    const auto resources = executable.parent_path().parent_path() / "Resources";
    // In the floater: window.open and a blank-target link each open another floater, and the
    // third page asks for a hundred more.
    std::ofstream(resources / "floater.html")
        << "<!doctype html><body><a target=_blank href='/second.html'>Second floater, longer "
           "text</a><script>addEventListener('load', function () {"
           "window.open('/third.html');"
           "document.querySelector('a').click(); });</script></body>";
    std::ofstream(resources / "second.html") << "<!doctype html><p>second</p>";
    std::ofstream(resources / "fourth.html") << "<!doctype html><p>fourth</p>";
    std::ofstream(resources / "third.html")
        << "<!doctype html><script>for (var i = 0; i < 100; i++) "
           "window.webkit.messageHandlers.zevraFloater.postMessage("
           "{id: 'f' + i, url: ' ', label: 'Capped ' + i});</script>";
    BackgroundProcess app({executable.string()}, sandbox.options(screen));
    ASSERT_TRUE(waitForStandardError(app, shellLoaded, 60s)) << app.standardErrorSoFar();
    xdotool(screen, {"mousemove", std::to_string(insideX), std::to_string(insideY), "click", "1"});
    const auto capped = [&] { return visibleWindowCount(screen, {"--name", "^Capped [0-9]+$"}); };
    // The fourth page, Notes, the two it opened and 28 of the hundred make the cap of 32.
    EXPECT_TRUE(waitUntil([&] { return capped() == 28; }, 30s)) << capped();
    static_cast<void>(screenColour(screen, "floaters.png", 0, 0));
    EXPECT_EQ(visibleWindowCount(screen, {"--name", "^Notes$"}), 1u);
    EXPECT_EQ(visibleWindowCount(screen, {"--name", "^Second floater, lo$"}), 1u);
    EXPECT_EQ(visibleWindowCount(screen, {"--name", "^ZEVRA$"}), 3u) << "main, third and fourth";
    EXPECT_EQ(standardErrorCount(app, "floating window: "), 32u);

    const auto notes = xdotool(screen, {"search", "--onlyvisible", "--name", "^Notes$"});
    ASSERT_FALSE(notes.empty());
    const std::string id = notes.substr(0, notes.find('\n'));
    // NaN asks for nothing: the default height.
    EXPECT_NE(xdotool(screen, {"getwindowgeometry", id}).find("Geometry: 320x360"),
              std::string::npos);
    ProcessOptions options;
    options.environment = {"DISPLAY=" + screen};
    EXPECT_NE(runProcess({"/usr/bin/xprop", "-id", id, "_NET_WM_STATE"}, options)
                  .standardOutput.find("_NET_WM_STATE_ABOVE"),
              std::string::npos);
}

// Downloads by all three roads land in the downloads folder under sanitised names, and a name
// already taken is never replaced; the user gets one alert at a time.
TEST(ShellDownloads, EveryRoadLandsInTheFolderUnderANewName) {
    const auto screen = display();
    const AppSandbox sandbox;
    const std::string page =
        "<!doctype html><body><script>"
        "function click(href, name) { var a = document.createElement('a'); a.href = href;"
        "  a.download = name; document.body.appendChild(a); a.click(); }"
        "var blob = URL.createObjectURL(new Blob(['from a blob'], {type: 'text/plain'}));"
        "click(blob, 'notes.txt'); click(blob, 'notes.txt'); click(blob, 'notes.txt');"
        "click('data:text/csv,a,b%0A1,2', '../export.csv');"
        "click('data:text/plain;base64,aGk=', 'a:b\\\\c.txt');"
        "for (var i = 0; i < 3; i++) { var f = document.createElement('iframe');"
        "  f.src = '/report.bin'; document.body.appendChild(f); }"
        "</script></body>";
    const auto executable = bundleWithShellPage(sandbox, page);
    std::ofstream(executable.parent_path().parent_path() / "Resources/report.bin")
        << std::string(300000, 'r');
    BackgroundProcess app({executable.string()}, sandbox.options(screen));
    ASSERT_TRUE(waitForStandardError(app, shellLoaded, 60s)) << app.standardErrorSoFar();
    const auto folder = sandbox.home() / downloadsFolder;
    const auto complete = [&] {
        const auto names = folderNames(folder);
        return names.size() == 8 &&
               std::all_of(names.begin(), names.end(), [&](const std::string& name) {
                   return !name.starts_with("report") ||
                          std::filesystem::file_size(folder / name) == 300000;
               });
    };
    ASSERT_TRUE(waitUntil(complete, 30s)) << ::testing::PrintToString(folderNames(folder));
    const std::string stamp = "-[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6}";
    for (const auto& name : folderNames(folder)) {
        EXPECT_TRUE(std::regex_match(
            name,
            std::regex("(notes|report)(" + stamp + "(-2)?)?\\.(txt|bin)|export\\.csv|a_b_c\\.txt")))
            << name;
    }
    EXPECT_EQ(readFile(folder / "notes.txt"), "from a blob");
    EXPECT_EQ(readFile(folder / "export.csv"), "a,b\n1,2");
    EXPECT_EQ(readFile(folder / "a_b_c.txt"), "hi");
    // The first alert is open; everything saved meanwhile waits to be folded into the next.
    EXPECT_TRUE(waitUntil(
        [&] {
            return visibleWindowCount(screen, {"--pid", std::to_string(app.pid())}) == 2;
        },
        10s));
    static_cast<void>(screenColour(screen, "download-alert.png", 0, 0));
    EXPECT_EQ(visibleWindowCount(screen, {"--pid", std::to_string(app.pid())}), 2u);
}

} // namespace
} // namespace zevra::testing
