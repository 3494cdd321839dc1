#include "app_process.h"
#include "build_config.h"
#include "support/https_upstream.h"
#include "support/plain_http_upstream.h"

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

// Whether the menu bar's labels are drawn dark, as a light theme draws them on the window's
// light grey.
bool menuBarTextIsDark(const std::string& screenshot) {
    const auto darkest =
        runProcess({"/usr/bin/convert", (artifactsFolder() / screenshot).string(), "-crop",
                    "300x6+42+119", "-colorspace", "gray", "-format", "%[fx:minima]", "info:"})
            .standardOutput;
    return !darkest.empty() && std::stod(darkest) < 0.5;
}

// Navigations from the main frame and from frames, observed where the app hands URLs to the
// desktop, where it saves data: pages and downloads, and at a proxy standing for every web host.
TEST(ShellNavigation, EachRuleThroughAPageOfLinks) {
    const auto screen = testDisplay();
    const AppSandbox sandbox;
    const std::string partner = config::PartnerAuthHost;
    const std::string site = std::string("http://") + config::SiteHost;
    // A page that was shown asks for its image.
    const PlainHttpUpstream web([&](const std::string& target) {
        if (target == site + "/framed" || target == site + "/main") {
            return upstreamResponse("200 OK", "Content-Type: text/html\r\n",
                                    "<img src='" + target + "-image'>");
        }
        if (target == "http://files.test/report.txt") {
            return upstreamResponse("200 OK",
                                    "Content-Type: text/plain\r\nContent-Disposition: "
                                    "attachment; filename=report.txt\r\n",
                                    "report");
        }
        return upstreamResponse("404 Not Found", "", "");
    });
    const std::string page =
        "<!doctype html><body>"
        "<iframe src='smb://h/s?oauth2/auth'></iframe>"
        "<iframe src='https://accounts.google.com/framed'></iframe>"
        "<iframe src='data:text/html,<p>framed</p>'></iframe>"
        "<iframe src='" +
        site +
        "/framed'></iframe>"
        "<script>var steps = ['file:///etc/hosts?oauth2/auth', 'https://" +
        partner + "/oauth/main', 'data:image/png;base64,aGVsbG8=', '" + site +
        "/main', 'http://files.test/report.txt', 'https://accounts.google.com/last'];"
        "function next() { var url = steps.shift(); if (!url) return; location.href = url;"
        "  setTimeout(next, 500); }"
        "setTimeout(next, 500);</script></body>";
    const auto record = sandbox.home() / "opened-urls";
    auto options = withRecordingBrowser(sandbox, sandbox.options(screen), record);
    options.environment.push_back("http_proxy=http://127.0.0.1:" + std::to_string(web.port()));
    options.environment.push_back("no_proxy=127.0.0.1,localhost");
    // A desktop session would have its own proxy settings outrank these.
    options.unsetEnvironment.insert(options.unsetEnvironment.end(),
                                    {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"});
    BackgroundProcess app({bundleWithShellPage(sandbox, page).string()}, options);
    EXPECT_TRUE(
        waitUntil([&] { return readFile(record).find("/last\n") != std::string::npos; }, 60s))
        << app.standardErrorSoFar();
    EXPECT_EQ(lines(readFile(record)), (std::set<std::string>{"https://accounts.google.com/framed",
                                                              "https://" + partner + "/oauth/main",
                                                              "https://accounts.google.com/last"}));
    // Only the top-level data: page is saved, not the framed one; the attachment is downloaded.
    const auto downloads = sandbox.home() / downloadsFolder;
    EXPECT_TRUE(waitUntil([&] { return folderNames(downloads).contains("report.txt"); }, 20s));
    EXPECT_EQ(folderNames(downloads), (std::set<std::string>{"report.txt", "zevra-download.png"}));
    EXPECT_EQ(readFile(sandbox.home() / downloadsFolder / "zevra-download.png"), "hello");
    const auto output = app.standardErrorSoFar();
    EXPECT_EQ(standardErrorCount(app, "download started: http://files.test/report.txt"), 1u)
        << output;
    // The site in a frame is shown; in the main frame it is asked for but never shown.
    const auto asked = web.targets();
    const auto wasAsked = [&](const std::string& target) {
        return std::find(asked.begin(), asked.end(), target) != asked.end();
    };
    EXPECT_TRUE(wasAsked(site + "/framed-image"));
    EXPECT_TRUE(wasAsked(site + "/main"));
    EXPECT_FALSE(wasAsked(site + "/main-image"));
    EXPECT_EQ(standardErrorCount(app, shellLoaded), 1u) << "the shell was left or reloaded";
}

// The page's functions each load the shell again with their name; the page has no background
// of its own, so the window's (themed) colour shows through.
TEST(ShellMenu, KeysRunTheirSnippetsAndTheThemeRecoloursTheWindow) {
    const auto screen = testDisplay();
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

    focusMainWindow(screen);
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

// The shell's server stops answering; the next shell load fails, is retried twice, and then
// the recovery page takes the window (until the health check has the server back).
TEST(ShellLoadRecovery, TwoRetriesThenTheRecoveryPage) {
    const auto screen = testDisplay();
    const AppSandbox sandbox;
    const std::string page = "<!doctype html><body style='background:#204080'><script>"
                             "function zevraReloadActiveTab() { location.href = '/?again'; }"
                             "</script></body>";
    // A desktop that prefers dark variants, whose theme is a dark one by name (white labels),
    // and whose light namesake has nothing but a dark variant (white labels too).
    std::filesystem::create_directories(sandbox.home() / ".config/gtk-3.0");
    std::ofstream(sandbox.home() / ".config/gtk-3.0/settings.ini")
        << "[Settings]\ngtk-theme-name=Night-dark\ngtk-application-prefer-dark-theme=1\n";
    for (const char* css : {"Night-dark/gtk-3.0/gtk.css", "Night/gtk-3.0/gtk-dark.css"}) {
        const auto file = sandbox.home() / ".themes" / css;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "* { color: #fff; }";
    }
    BackgroundProcess app({bundleWithShellPage(sandbox, page).string()}, sandbox.options(screen));
    ASSERT_TRUE(waitForStandardError(app, shellLoaded, 60s)) << app.standardErrorSoFar();
    ASSERT_TRUE(waitUntil(
        [&] { return screenColour(screen, "shell-load.png", insideX, insideY) == "#204080"; },
        10s));
    EXPECT_TRUE(menuBarTextIsDark("shell-load.png")) << "the dark theme was taken";
    focusMainWindow(screen);

    ASSERT_TRUE(shutDownListeningSocket(app.pid(), 18484));
    xdotool(screen, {"key", "--clearmodifiers", "ctrl+r"});
    // The recovery page has the shell's address; the health check brings the shell itself
    // back only seconds later.
    ASSERT_TRUE(waitUntil([&] { return standardErrorCount(app, shellLoaded) == 2; }, 10s))
        << app.standardErrorSoFar();
    EXPECT_EQ(standardErrorCount(app, "load failed: http://127.0.0.1:18484/"), 3u)
        << "the load and its two retries\n"
        << app.standardErrorSoFar();
    // The grey recovery page, whose box has a white (outset) left border left of the centre.
    EXPECT_TRUE(waitUntil(
        [&] {
            return screenColour(screen, "shell-load-recovery.png", insideX, insideY) == "#C0C0C0" &&
                   runProcess({"/usr/bin/convert",
                               (artifactsFolder() / "shell-load-recovery.png").string(), "-crop",
                               "600x1+40+512", "-depth", "8", "txt:-"})
                           .standardOutput.find("#FFFFFF") != std::string::npos;
        },
        3s));
    EXPECT_EQ(standardErrorCount(app, "load failed: http://127.0.0.1:18484/?again"), 1u);
}

TEST(RendererRecovery, ThreeCrashesIn30SecondsShowTheRecoveryPageAndAreJournalled) {
    const auto screen = testDisplay();
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
    EXPECT_EQ(countOf(journal, "web_content_process_terminated"), 3u) << journal;
    EXPECT_NE(journal.find("recovery count in 30 seconds: 3"), std::string::npos);
}

// Ctrl+W only hides the main window; launching again brings back the same one, page and all.
TEST(MainWindowRestore, ClosedWindowComesBackWithItsPageOnTheNextLaunch) {
    const auto screen = testDisplay();
    const AppSandbox sandbox;
    const std::string page = "<!doctype html><body style='background:#204080'></body>";
    // The desktop asks for a dark theme; the window keeps the light one its pages are made for.
    auto options = sandbox.options(screen);
    options.environment.push_back("GTK_THEME=Adwaita:dark");
    BackgroundProcess app({bundleWithShellPage(sandbox, page).string()}, options);
    ASSERT_TRUE(waitForStandardError(app, shellLoaded, 60s)) << app.standardErrorSoFar();
    const auto visible = [&] {
        return !xdotool(screen, {"search", "--onlyvisible", "--name", "^ZEVRA$"}).empty();
    };
    ASSERT_TRUE(waitUntil(visible, 10s));
    focusMainWindow(screen);
    xdotool(screen, {"key", "--clearmodifiers", "ctrl+w"});
    ASSERT_TRUE(waitUntil([&] { return !visible(); }, 10s)) << "Ctrl+W left the window up";

    const auto second = sandbox.start({}, screen);
    const auto exited = second->wait(30s);
    ASSERT_TRUE(exited.has_value());
    EXPECT_EQ(exited->exitCode, 0);
    EXPECT_TRUE(waitUntil(visible, 10s));
    EXPECT_TRUE(waitUntil(
        [&] { return screenColour(screen, "restored.png", insideX, insideY) == "#204080"; }, 10s));
    EXPECT_TRUE(menuBarTextIsDark("restored.png"));
    EXPECT_EQ(standardErrorCount(app, shellLoaded), 1u) << "the page was loaded again";
}

TEST(LaunchDocuments, ADocumentOpenedAtLaunchIsTheFrontWindow) {
    const auto screen = testDisplay();
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
    const auto screen = testDisplay();
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

// Downloads by the page's script and by the engine land in the downloads folder, and a name
// already taken is never replaced (the naming rules are the saver's); one alert at a time.
TEST(ShellDownloads, EveryRoadLandsInTheFolderUnderANewName) {
    const auto screen = testDisplay();
    const AppSandbox sandbox;
    const std::string page =
        "<!doctype html><body><script>"
        "function click(href, name) { var a = document.createElement('a'); a.href = href;"
        "  a.download = name; document.body.appendChild(a); a.click(); }"
        "var blob = URL.createObjectURL(new Blob(['from a blob'], {type: 'text/plain'}));"
        "click(blob, 'notes.txt'); click('data:text/csv,a,b%0A1,2', '../export.csv');"
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
        return names.size() == 5 &&
               std::all_of(names.begin(), names.end(), [&](const std::string& name) {
                   return !name.starts_with("report") ||
                          std::filesystem::file_size(folder / name) == 300000;
               });
    };
    ASSERT_TRUE(waitUntil(complete, 30s)) << ::testing::PrintToString(folderNames(folder));
    for (const auto& name : folderNames(folder)) {
        EXPECT_TRUE(std::regex_match(
            name, std::regex("report(-[0-9-]{17}(-2)?)?\\.bin|notes\\.txt|export\\.csv")))
            << name;
    }
    EXPECT_EQ(readFile(folder / "notes.txt"), "from a blob");
    EXPECT_EQ(readFile(folder / "export.csv"), "a,b\n1,2");
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
