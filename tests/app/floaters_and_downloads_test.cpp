#include "app/download_services.h"
#include "app/floater_windows.h"

#include "platform/headless/headless_application.h"
#include "support/manual_clock.h"
#include "support/temporary_folder.h"
#include "webshell/data_url.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zevra {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class FloatersAndDownloadsTest : public ::testing::Test, public SystemLog, public Workspace {
protected:
    testing::TemporaryFolder temporary;
    const fs::path folder = temporary.path() / "ZEVRA Downloads";
    testing::ManualClock clock;
    HeadlessApplication application;
    std::vector<std::string> logged;
    std::vector<std::string> revealed;
    DownloadServices downloads{application, folder, clock, *this, *this};
    ApplicationFloaters floaters{application, clock,
                                 [](std::string_view url) -> std::optional<std::string> {
                                     if (url.starts_with(" ")) {
                                         return std::nullopt;
                                     }
                                     return "http://127.0.0.1:18484" + std::string(url);
                                 },
                                 false, downloads.engineDownloads()};

    void write(std::string_view line) override { logged.emplace_back(line); }
    bool openURL(const std::string&) override { return false; }
    void revealFolder(const std::string& path) override { revealed.push_back(path); }

    // Runs what the handlers posted to the main thread, and what that posted in turn.
    void drain() {
        application.quit();
        application.run({});
    }
    [[nodiscard]] const std::vector<HeadlessFloatingWindow*>& windows() const {
        return application.floatingWindows();
    }
};

TEST_F(FloatersAndDownloadsTest, FloatersAreWindowsKeptByIdentifierUntilTheyClose) {
    floaters.messages().receive(
        {{"url", "/notes"}, {"id", "notes"}, {"label", "Notes"}, {"w", 300}, {"h", 100}});
    floaters.messages().receive({{"url", "/other"}, {"id", "notes"}});
    drain();
    ASSERT_EQ(windows().size(), 1U);
    HeadlessFloatingWindow& notes = *windows()[0];
    EXPECT_EQ(notes.description().title, "Notes");
    EXPECT_EQ(notes.description().width, 300);
    EXPECT_EQ(notes.description().height, 160);
    EXPECT_EQ(notes.description().minimumWidth, 240);
    EXPECT_EQ(notes.frontCount(), 1);
    const auto& view = notes.headlessWebView();
    EXPECT_EQ(view.configuration().scriptMessageHandlers, std::vector<std::string>{"zevraFloater"});
    ASSERT_EQ(view.configuration().userScripts.size(), 1U);
    EXPECT_EQ(view.configuration().userScripts[0].injectionTime,
              UserScriptInjectionTime::DocumentEnd);
    ASSERT_EQ(view.loads().size(), 1U);
    EXPECT_EQ(view.loads()[0].url, "http://127.0.0.1:18484/notes");

    // A page in the floater opens another; a URL that maps to nothing leaves it empty.
    EXPECT_TRUE(notes.headlessWebView().postScriptMessage(
        {"zevraFloater", "http://127.0.0.1:18484", true, {{"url", " x"}}}));
    drain();
    ASSERT_EQ(windows().size(), 2U);
    EXPECT_EQ(windows()[1]->description().title, "ZEVRA");
    EXPECT_TRUE(windows()[1]->headlessWebView().loads().empty());

    notes.close();
    EXPECT_EQ(windows().size(), 1U) << "a closed floater is destroyed";
    floaters.messages().receive({{"url", "/notes"}, {"id", "notes"}});
    drain();
    ASSERT_EQ(windows().size(), 2U);
    EXPECT_EQ(windows()[1]->frontCount(), 0) << "a fresh window, not the closed one";
}

TEST_F(FloatersAndDownloadsTest, EveryRoadSavesIntoTheFolderWithOneAlertEach) {
    application.queueAlertAnswer(1);
    downloads.messages().receive({{"data", "data:text/csv,a,b%0A1,2"}, {"filename", "a.csv"}});
    downloads.saveDataURL(*handleDataURL("data:image/png;base64,aGk="));
    // Downloads the engine makes in a floater's view go to the same folder.
    floaters.messages().receive({{"url", "/f"}});
    drain();
    ASSERT_EQ(windows().size(), 1U);
    auto& view = windows()[0]->headlessWebView();
    const auto destination = view.delegate().downloadDestination(view, {"/r", "r.zip"});
    ASSERT_TRUE(destination);
    EXPECT_EQ(*destination, folder / "r.zip");
    view.delegate().downloadDidFinish(view, *destination);
    drain();

    EXPECT_EQ(testing::readFile(folder / "a.csv"), "a,b\n1,2");
    EXPECT_EQ(testing::readFile(folder / "zevra-download.png"), "hi");
    const auto alerts = application.alerts();
    ASSERT_EQ(alerts.size(), 3U);
    EXPECT_EQ(alerts[0].informativeText, "a.csv");
    EXPECT_EQ(alerts[1].informativeText, "zevra-download.png");
    EXPECT_EQ(alerts[2].message, "Download complete");
    EXPECT_EQ(revealed, std::vector<std::string>{folder.string()}) << "\"Show in Folder\"";
    EXPECT_TRUE(logged.empty());
}

} // namespace
} // namespace zevra
