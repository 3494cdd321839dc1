#include "webshell/data_url_payload.h"
#include "webshell/download_alerts.h"
#include "webshell/download_delegate.h"
#include "webshell/download_filename.h"
#include "webshell/download_message_handler.h"
#include "webshell/download_saver.h"

#include "base/utf8.h"
#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace zevra {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Lines = std::vector<std::string>;
using ::testing::MatchesRegex;

std::string repeated(std::string_view unit, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text.append(unit);
    }
    return text;
}

TEST(DownloadFilenameTest, KeepsOnlyASafeLastComponentOfBoundedLength) {
    const std::string cjk = "\xe6\xbc\xa2";       // 3 bytes
    const std::string emoji = "\xf0\x9f\x98\x80"; // 4 bytes
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {"../../etc/passwd", "passwd"},
        {"a:b/c", "c"},
        {"x\ty:z\\w.txt", "x_y_z_w.txt"},
        {"  report.pdf  ", "report.pdf"},
        {std::nullopt, "zevra-download.png"},
        {"   ", "zevra-download.png"},
        {"..", "zevra-download.png"},
        {"folder/", "folder"},
        {repeated("a", 296) + ".pdf", repeated("a", 176) + ".pdf"},
        {repeated("b", 300), repeated("b", 180)},
        {repeated(cjk, 180) + ".txt", repeated(cjk, 65) + ".txt"},
        {repeated(emoji, 100) + ".png", repeated(emoji, 49) + ".png"},
        {repeated(emoji, 60), repeated(emoji, 50)},
    };
    for (const auto& [name, expected] : cases) {
        const std::string safe = safeDownloadFilename(name, "png");
        EXPECT_EQ(safe, expected) << name.value_or("(none)");
        EXPECT_LE(safe.size(), 200U);
        EXPECT_TRUE(isValidUtf8(safe));
    }
}

TEST(DataURLPayloadTest, DecodesBase64LenientlyAndEverythingElseByPercent) {
    const std::tuple<std::string, std::string, std::string> decoded[] = {
        {"data:text/csv,a,b%0A1,2", "a,b\n1,2", "csv"},
        {"data:image/png;base64,Zm9v\r\nYmFy", "foobar", "png"},
        {"data:image/gif;BASE64,Zg", "f", "gif"},
        {"data:image/jpeg;base64,Zm8=", "fo", "jpg"},
        {"data:,50%25 off %zz", "50% off %zz", "bin"},
        {"data:video/webm;base64,", "", "webm"},
    };
    for (const auto& [url, bytes, extension] : decoded) {
        const auto payload = decodeDataURL(url);
        ASSERT_TRUE(payload) << url;
        EXPECT_EQ(payload->bytes, bytes) << url;
        EXPECT_EQ(payload->extension, extension) << url;
    }
    for (const std::string url : {"data:text/plain", "dat,abc", "data:;base64,Zm9vY"}) {
        EXPECT_FALSE(decodeDataURL(url)) << url;
    }
}

class DownloadSavingTest : public ::testing::Test, public SystemLog {
protected:
    testing::TemporaryFolder temporary;
    const fs::path folder = temporary.path() / "Desktop" / "ZEVRA Downloads";
    testing::ManualClock clock;
    Lines logged;
    std::vector<fs::path> saved;
    DownloadSaver saver{folder, clock, *this,
                        [this](const fs::path& file) { saved.push_back(file); }};

    void write(std::string_view line) override { logged.emplace_back(line); }
};

// Saves within one second by both roads: the decoded payloads and the engine's own downloads.
TEST_F(DownloadSavingTest, NeverReplacesAFileOfTheSameName) {
    const std::string stamped = R"(report-[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6})";
    ASSERT_TRUE(saver.saveDownload("one", "report.pdf", "bin"));
    ASSERT_TRUE(saver.saveDownload("two", "report.pdf", "bin"));
    const auto reserved = saver.reserveDestination("report.pdf");
    ASSERT_TRUE(saver.saveDownload("four", "report.pdf", "bin"));
    ASSERT_TRUE(reserved);
    ASSERT_EQ(saved.size(), 3U);
    EXPECT_EQ(saved[0], folder / "report.pdf");
    EXPECT_THAT(saved[1].filename().string(), MatchesRegex(stamped + "\\.pdf"));
    EXPECT_THAT(reserved->filename().string(), MatchesRegex(stamped + "-2\\.pdf"));
    EXPECT_THAT(saved[2].filename().string(), MatchesRegex(stamped + "-3\\.pdf"));
    EXPECT_EQ(testing::readFile(saved[0]), "one");
    EXPECT_EQ(testing::readFile(saved[1]), "two");
    EXPECT_EQ(testing::readFile(saved[2]), "four");
    EXPECT_TRUE(fs::is_empty(*reserved));

    ASSERT_TRUE(saver.saveDownload("a", "notes", "bin"));
    ASSERT_TRUE(saver.saveDownload("b", "notes", "bin"));
    EXPECT_THAT(saved.back().filename().string(),
                MatchesRegex(R"(notes-[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6})")); // no trailing dot
    EXPECT_EQ(logged, Lines{});
}

TEST_F(DownloadSavingTest, RefusesOversizedPayloadsAndReportsWriteFailures) {
    EXPECT_FALSE(saver.saveDownload(std::string(maximumDownloadBytes + 1, 'x'), "big", "bin"));
    EXPECT_EQ(logged, Lines{"Download rejected: payload exceeds 100 MB safety limit"});
    EXPECT_FALSE(fs::exists(folder / "big"));

    logged.clear();
    fs::create_directories(folder.parent_path());
    temporary.write("Desktop/ZEVRA Downloads", "a file where the folder should be");
    EXPECT_FALSE(saver.saveDownload("x", "a.txt", "bin"));
    EXPECT_FALSE(saver.reserveDestination("b.txt"));
    EXPECT_THAT(logged, ::testing::Each(::testing::StartsWith("Download failed: ")));
    EXPECT_EQ(logged.size(), 2U);
    EXPECT_TRUE(saved.empty());
}

TEST_F(DownloadSavingTest, MessagesSaveOnlyWellFormedDataURLs) {
    DownloadMessageHandler handler(saver);
    const json ignored[] = {
        json("data:text/plain,hi"),
        {{"filename", "a.txt"}},
        {{"data", "data:text/plain,hi"}, {"filename", 3}},
        {{"data", "data:text/plain"}},
        {{"data", "data:;base64,Q"}},
    };
    for (const auto& body : ignored) {
        handler.receive(body);
    }
    EXPECT_TRUE(saved.empty());
    handler.receive({{"data", "data:text/csv,a,b%0A1,2"}, {"filename", "../export.csv"}});
    handler.receive({{"data", "data:image/png;base64,iVBORw=="}, {"filename", ""}});
    ASSERT_EQ(saved.size(), 2U);
    EXPECT_EQ(testing::readFile(folder / "export.csv"), "a,b\n1,2");
    EXPECT_EQ(testing::readFile(folder / "zevra-download.png"), "\x89PNG");
}

// The engine writes into a file claimed for it; a failed or stopped download leaves nothing.
TEST_F(DownloadSavingTest, EngineDownloadsGetTheirOwnFileAndLeaveNoneWhenTheyFail) {
    std::vector<fs::path> finished;
    DownloadDelegate engine(saver, *this, [&](const fs::path& file) { finished.push_back(file); });
    const auto first = engine.destination({"https://site/r", "report.bin"});
    const auto second = engine.destination({"https://site/r", "report.bin"});
    const auto unnamed = engine.destination({"https://site/x", ""});
    ASSERT_TRUE(first && second && unnamed);
    EXPECT_EQ(*first, folder / "report.bin");
    EXPECT_NE(*second, *first);
    EXPECT_EQ(*unnamed, folder / "zevra-download.bin");
    engine.finished(*first);
    EXPECT_EQ(finished, std::vector<fs::path>{*first});

    engine.failed({*second, "Connection reset", false});
    engine.failed({*unnamed, "Cancelled", true});
    engine.failed({{}, "Not found", false});
    EXPECT_FALSE(fs::exists(*second));
    EXPECT_FALSE(fs::exists(*unnamed));
    EXPECT_TRUE(fs::exists(*first));
    EXPECT_EQ(logged, (Lines{"Download failed: Connection reset", "Download failed: Not found"}));
}

TEST(DownloadAlertsTest, ShowsOneAlertAtATimeAndFoldsTheRestIntoTheNext) {
    std::vector<AlertDescription> shown;
    std::vector<fs::path> revealed;
    std::size_t choice = 0;
    DownloadAlerts* self = nullptr;
    DownloadAlerts alerts(
        [&](const AlertDescription& alert) {
            shown.push_back(alert);
            if (shown.size() == 1) { // saves arriving while the first alert is open
                for (const char* name : {"b.png", "c.png", "d.png", "e.png", "f.png", "g.png"}) {
                    self->announce(fs::path("/d") / name);
                }
            }
            return choice;
        },
        [&](const fs::path& file) { revealed.push_back(file); });
    self = &alerts;
    alerts.announce("/d/a.png");
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(shown[0].message, "Saved to Downloads");
    EXPECT_EQ(shown[0].informativeText, "a.png");
    EXPECT_EQ(shown[1].message, "Saved 6 files to Downloads");
    EXPECT_EQ(shown[1].informativeText, "b.png\nc.png\nd.png\ne.png\nf.png\nand 1 more");
    EXPECT_TRUE(revealed.empty());
    choice = 1;
    alerts.announce("/d/h.png");
    EXPECT_EQ(shown.size(), 3U);
    EXPECT_EQ(revealed, std::vector<fs::path>{"/d/h.png"});

    // An engine download alone has its own alert; folded with others it is counted with them.
    alerts.announceEngineDownload("/d/i.zip");
    ASSERT_EQ(shown.size(), 4U);
    EXPECT_EQ(shown[3].message, "Download complete");
    EXPECT_EQ(shown[3].informativeText, "Saved to ~/Desktop/ZEVRA Downloads");
    EXPECT_EQ(shown[3].buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(revealed.size(), 1U) << "its only button reveals nothing";
}

} // namespace
} // namespace zevra
