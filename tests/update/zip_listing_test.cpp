#include "update/archive_entry_name.h"
#include "update/release_limits.h"
#include "update/zip_listing.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace zevra {
namespace {

constexpr std::int64_t unlimited = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t half = 268435456;

std::string line(const std::string& mode, const std::string& size, const std::string& flags,
                 const std::string& method) {
    return mode + "  3.0 unx " + size + " " + flags + " 10 " + method + " 26-Jan-02 03:04 a";
}

std::string file(std::int64_t size = 1) {
    return line("-rw-r--r--", std::to_string(size), "b-", "stor");
}

const std::string folder = line("drwxr-xr-x", "0", "b-", "stor");

std::string listing(const std::vector<std::string>& lines) {
    std::string text = "Archive:  fixture.zip\nZip file size: 100 bytes, number of entries: 1\n";
    for (const auto& entry : lines) {
        text += entry + "\n";
    }
    return text + "1 file, 1 byte uncompressed, 1 byte compressed:  0.0%\n";
}

// Both listings of well-formed entries `names` ("/" ends a folder); files of `sizes`, else 1 byte.
bool safe(const std::vector<std::string>& names, const ArchiveLimits& limits = appArchiveLimits,
          const std::vector<std::int64_t>& sizes = {}) {
    std::string nameList;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < names.size(); ++i) {
        nameList += names[i] + "\n";
        lines.push_back(names[i].ends_with('/') ? folder : file(i < sizes.size() ? sizes[i] : 1));
    }
    return zipListingIsSafe(nameList, listing(lines), limits.maxEntries,
                            limits.maxUncompressedBytes, limits.maxMemberBytes);
}

std::vector<std::string> numbered(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(std::string("f").append(std::to_string(i)));
    }
    return names;
}

TEST(ArchiveEntryNameIsSafe, Names) {
    std::string deep;
    for (int i = 0; i < 31; ++i) {
        deep += "d/";
    }
    // 32 pieces and 255 characters a piece at most; "^I" is how the tools print a tab.
    using Names = std::vector<std::string>;
    for (const auto& name :
         Names{"notes/readme.txt", "dir/", "a^b", deep + "f", std::string(255, 'n')}) {
        EXPECT_TRUE(archiveEntryNameIsSafe(name)) << name;
    }
    for (const auto& name : Names{deep + "d/f", std::string(256, 'n'), "a/../b", "./x", "/abs",
                                  "a//b", "a\\b", "a\tb", "a\x7f", "a^Ib", "caf\xe9", ""}) {
        EXPECT_FALSE(archiveEntryNameIsSafe(name)) << name;
    }
}

// The long listing's fields, each line paired with the name in the same position.
TEST(ZipListingIsSafe, JudgesTheLongListingLines) {
    const auto huge = file(unlimited - 1);
    const std::vector<std::tuple<std::string, std::vector<std::string>, bool>> cases{
        {"a\n", {line("-rw-r--r--", "12", "b-", "defN")}, true},
        {"a\n", {line("-rw-r--r--", "12", "t-", "stor")}, true},
        {"a\n", {line("?rw-------", "12", "b-", "defX")}, true},
        {"a\n", {line("-rw-r--r--", "12", "bl", "stor")}, false},
        {"a\n", {line("-rw-r--r--", "12", "b-", "bzp2")}, false},
        {"a\n", {line("-rw-r--r--", "-1", "b-", "stor")}, false},
        {"a\n", {line("-rw-r--r--", "99999999999999999999", "b-", "stor")}, false},
        {"a\n", {line("lrwxrwxrwx", "12", "b-", "stor")}, false},
        {"a\n", {folder}, false}, // a folder needs a name ending "/"
        {"a\n", {"-rw-r--r--  3.0 unx 12 b- stor"}, false},
        {"d/\nd/f\n", {folder, file()}, true},
        {"d/\n", {file()}, false},
        {"a\nb\n", {file()}, false},
        {"", {}, false},
        {"\n\na\n\n", {file()}, true},
        {"a\n", {huge}, true},
        {"a\nb\n", {huge, huge}, false}, // the total overflows
    };
    for (const auto& [names, lines, ok] : cases) {
        EXPECT_EQ(zipListingIsSafe(names, listing(lines), 10, unlimited, unlimited), ok)
            << ::testing::PrintToString(lines);
    }
}

TEST(ZipListingIsSafe, RefusesCollidingKeys) {
    const std::vector<std::pair<std::vector<std::string>, bool>> cases{
        {{"Readme", "README"}, false},
        {{"caf\xc3\xa9", "cafe\xcc\x81"}, false},
        {{"stra\u00dfe", "strasse"}, false},       // sharp s folds to "ss"
        {{"\u03b1\u03c2", "\u03b1\u03c3"}, false}, // final and medial sigma
        {{"Stra\u00dfe", "strasse/x"}, false},     // a file as a folder
        {{"x", "x/"}, false},
        {{"lib/x.js", "LIB"}, false},
        {{"lib/", "lib/x.js", "lib2"}, true},
        {{"strase", "strasse", "\u03b1\u03c3\u03b1"}, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(safe(cases[i].first), cases[i].second) << "case " << i;
    }
}

TEST(ZipListingIsSafe, CountAndSizeLimits) {
    EXPECT_TRUE(safe(numbered(512)));
    EXPECT_FALSE(safe(numbered(513)));
    EXPECT_TRUE(safe(numbered(256), extensionArchiveLimits));
    EXPECT_FALSE(safe(numbered(257), extensionArchiveLimits));
    EXPECT_TRUE(safe({"big"}, appArchiveLimits, {half}));
    EXPECT_FALSE(safe({"big"}, appArchiveLimits, {half + 1}));
    EXPECT_TRUE(safe({"a", "b", "c"}, appArchiveLimits, {half, half, 0}));
    EXPECT_FALSE(safe({"a", "b", "c"}, appArchiveLimits, {half, half, 1}));
}

} // namespace
} // namespace zevra
