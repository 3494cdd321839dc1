// The download hook script in a real web view of the GTK backend, in process under the test
// display: what pages download through blob and data links lands in the downloads folder.
#include "gtk_test_display.h"
#include "webshell/download_hook_script.h"
#include "webshell/download_message_handler.h"

#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace zevra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Relay final : public WebViewDelegate {
public:
    explicit Relay(DownloadMessageHandler& handler) : handler_(handler) {}
    void didReceiveScriptMessage(WebView&, const ScriptMessage& message) override {
        if (message.handlerName == "zevraDownload") {
            handler_.receive(message.body);
        }
    }

private:
    DownloadMessageHandler& handler_;
};

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
    Relay relay(handler);
    MainWindowDescription window;
    window.title = "download hook";
    window.width = 400;
    window.height = 300;
    window.backgroundColor = "#c0c0c0";
    window.webView.scriptMessageHandlers = {"zevraDownload"};
    window.webView.userScripts = {
        {std::string(downloadHookScript()), UserScriptInjectionTime::DocumentStart}};
    application->showMainWindow(window, relay).loadHTML(page, "http://127.0.0.1:18484/index.html");

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

} // namespace
} // namespace zevra
