// The scripts the app puts into pages, in a real web view of the GTK backend, in process under
// the test display.
#include "gtk_test_display.h"
#include "webshell/download_hook_script.h"
#include "webshell/download_message_handler.h"
#include "webshell/floater_bridge_script.h"
#include "webshell/floater_message_handler.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace zevra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Hands every script message's body to one handler.
class Relay final : public WebViewDelegate {
public:
    explicit Relay(std::function<void(const nlohmann::json&)> receive)
        : receive_(std::move(receive)) {}
    void didReceiveScriptMessage(WebView&, const ScriptMessage& message) override {
        receive_(message.body);
    }

private:
    std::function<void(const nlohmann::json&)> receive_;
};

MainWindowDescription windowWith(const std::string& handler, std::string_view script,
                                 UserScriptInjectionTime when) {
    MainWindowDescription window;
    window.title = handler;
    window.width = 400;
    window.height = 300;
    window.backgroundColor = "#c0c0c0";
    window.webView.scriptMessageHandlers = {handler};
    window.webView.userScripts = {{std::string(script), when}};
    return window;
}

class NoLog final : public SystemLog {
public:
    void write(std::string_view line) override { ADD_FAILURE() << line; }
};

// A revoked blob URL is fetched by the page too; its failure comes after the hook's, so the
// closing "done" download shows the revoked one had its chance to arrive.
constexpr const char* page = R"(<!doctype html><body><script>
function click(href, name) {
  var a = document.createElement("a");
  a.href = href;
  a.download = name;
  document.body.appendChild(a);
  a.click();
}
click(URL.createObjectURL(new Blob(["from a blob"])), "../notes:1.txt");
for (var i = 0; i < 3; i++) click("data:text/csv,a,b%0A" + i + ",2", "export.csv");
var link = document.createElement("a");
link.href = "data:image/png;base64,iVBORw==";
link.download = "";
document.body.appendChild(link);
link.dispatchEvent(new MouseEvent("click", { bubbles: true, cancelable: true }));
var revoked = URL.createObjectURL(new Blob(["revoked"]));
URL.revokeObjectURL(revoked);
click(revoked, "revoked.txt");
fetch(revoked).catch(function () { click("data:,", "done.txt"); });
</script></body>)";

TEST(DownloadHook, BlobAndDataLinksLandInTheDownloadsFolderUnderNewSafeNames) {
    const auto application = testing::gtkApplicationOnTestDisplay();
    ASSERT_NE(application, nullptr);

    const testing::TemporaryFolder temporary;
    const testing::ManualClock clock;
    NoLog log;
    std::map<std::string, std::string> saved; // name -> contents
    DownloadSaver saver(temporary.path(), clock, log, [&](const fs::path& file) {
        saved[file.filename().string()] = testing::readFile(file);
    });
    DownloadMessageHandler handler(saver);
    Relay relay([&handler](const nlohmann::json& body) { handler.receive(body); });
    application
        ->showMainWindow(windowWith("zevraDownload", downloadHookScript(),
                                    UserScriptInjectionTime::DocumentStart),
                         relay)
        .loadHTML(page, "http://127.0.0.1:18484/index.html");

    testing::spinMainContextUntil([&] { return saved.contains("done.txt"); }, 30s);

    ASSERT_EQ(saved.size(), 6U);
    EXPECT_EQ(saved["notes_1.txt"], "from a blob");
    EXPECT_EQ(saved["export.csv"], "a,b\n0,2");
    EXPECT_EQ(saved["zevra-download.png"], "\x89PNG");
    std::vector<std::string> stamped;
    for (const auto& [name, contents] : saved) {
        if (name.starts_with("export-")) {
            stamped.push_back(name + " " + contents);
        }
    }
    EXPECT_THAT(stamped, ::testing::UnorderedElementsAre(
                             ::testing::MatchesRegex("export-[0-9-]{17}\\.csv a,b\n1,2"),
                             ::testing::MatchesRegex("export-[0-9-]{17}-2\\.csv a,b\n2,2")));
}

class RecordedFloaters final : public FloaterWindows {
public:
    std::vector<FloaterWindow> opened;
    void open(const FloaterWindow& window) override { opened.push_back(window); }
    void front(const std::string&) override {}
};

// The page's own script runs before the bridge (document end), so it acts once loaded.
constexpr const char* floaterPage = R"(<!doctype html><body>
<a id="link" href="/proxy/docs" target="_blank">  Agents and their tools, explained </a>
<script>
addEventListener("load", function () {
  window.open("http://127.0.0.1:18484/proxy/studio");
  window.open("");
  document.getElementById("link").click();
});
</script></body>)";

TEST(FloaterBridge, NewWindowsThePageAsksForBecomeFloaters) {
    const auto application = testing::gtkApplicationOnTestDisplay();
    ASSERT_NE(application, nullptr);
    const testing::ManualClock clock;
    RecordedFloaters floaters;
    FloaterRegistry registry(floaters, clock,
                             [](std::string_view url) { return std::string(url); });
    FloaterMessageHandler handler(registry, [](const std::function<void()>& work) { work(); });
    Relay relay([&handler](const nlohmann::json& body) { handler.receive(body); });
    application
        ->showMainWindow(
            windowWith("zevraFloater", floaterBridgeScript(), UserScriptInjectionTime::DocumentEnd),
            relay)
        .loadHTML(floaterPage, "http://127.0.0.1:18484/index.html");

    testing::spinMainContextUntil([&] { return floaters.opened.size() >= 2; }, 30s);
    ASSERT_EQ(floaters.opened.size(), 2U);
    EXPECT_EQ(floaters.opened[0].url, "http://127.0.0.1:18484/proxy/studio");
    EXPECT_EQ(floaters.opened[0].title, "ZEVRA");
    EXPECT_EQ(floaters.opened[1].url, "http://127.0.0.1:18484/proxy/docs");
    EXPECT_EQ(floaters.opened[1].title, "Agents and their t");
}

} // namespace
} // namespace zevra
