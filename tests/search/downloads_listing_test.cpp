#include "search/downloads_listing.h"

#include "search/executor_drain.h"
#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>

namespace zevra {
namespace {

using namespace std::chrono_literals;

void setModified(const std::filesystem::path& file, long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 250000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

std::vector<std::string> names(const std::string& listing) {
    std::vector<std::string> found;
    for (const auto& item : nlohmann::json::parse(listing)) {
        found.push_back(item.at("name"));
    }
    return found;
}

TEST(DownloadsListing, ListsVisibleRegularFilesNewestFirstWithTiesInListingOrder) {
    const testing::TemporaryFolder folder;
    setModified(folder.write("old report.PDF", "12345"), 1000);
    setModified(folder.write("newest", ""), 3000);
    setModified(folder.write("tie-1.txt", "a"), 2000);
    setModified(folder.write("tie-2.txt", "b"), 2000);
    setModified(folder.write("tie-3.txt", "c"), 2000);
    folder.write(".hidden", "x");
    folder.write("sub/inner.txt", "x");
    std::filesystem::create_symlink(folder.path() / "newest", folder.path() / "link");

    std::vector<std::string> expected{"newest"}; // then the ties as the folder lists them
    for (const auto& item : std::filesystem::directory_iterator(folder.path())) {
        if (const auto name = item.path().filename().string(); name.starts_with("tie")) {
            expected.push_back(name);
        }
    }
    expected.push_back("old report.PDF");

    const auto listing =
        nlohmann::json::parse(downloadsJSON(scanDownloadsDirectory(folder.path())));
    EXPECT_EQ(names(listing.dump()), expected);
    EXPECT_EQ(listing.back(), nlohmann::json::parse(R"({"name":"old report.PDF",)"
                                                    R"("url":"/downloads/old%20report.PDF",)"
                                                    R"("ext":"pdf","size":5,"mtime":1000.25})"));
    EXPECT_EQ(downloadsJSON(scanDownloadsDirectory(folder.path() / "missing")), "[]");
}

TEST(DownloadsListing, RescansInTheBackgroundAtMostOnceEveryFiveSeconds) {
    const testing::TemporaryFolder folder;
    testing::ManualClock clock;
    BackgroundExecutor executor{1};
    DownloadsIndex index(folder.path(), clock, executor);
    folder.write("a.txt", "a");
    EXPECT_EQ(*index.downloadsListing(), "[]"); // answered before the first scan
    testing::drain(executor);
    EXPECT_EQ(names(*index.downloadsListing()), std::vector<std::string>{"a.txt"});
    folder.write("b.txt", "b");
    const auto countAfter = [&](std::chrono::milliseconds wait) {
        clock.advance(wait);
        static_cast<void>(index.downloadsListing());
        testing::drain(executor);
        return names(*index.downloadsListing()).size();
    };
    EXPECT_EQ(countAfter(5s), 1U);
    EXPECT_EQ(countAfter(100ms), 2U);
}

} // namespace
} // namespace zevra
