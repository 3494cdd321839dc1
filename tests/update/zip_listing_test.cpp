#include "update/archive_entry_name.h"
#include "update/release_limits.h"
#include "update/zip_listing.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace zevra {
namespace {

constexpr std::int64_t unlimited = std::numeric_limits<std::int64_t>::max();

std::string line(const std::string& mode, const std::string& size, const std::string& flags,
                 const std::string& method, const std::string& name) {
    return mode + "  3.0 unx " + size + " " + flags + " 10 " + method + " 26-Jan-02 03:04 " + name;
}

std::string listing(const std::vector<std::string>& lines) {
    std::string text = "Archive:  fixture.zip\nZip file size: 100 bytes, number of entries: 1\n";
    for (const auto& entry : lines) {
        text += entry + "\n";
    }
    return text + "1 file, 1 byte uncompressed, 1 byte compressed:  0.0%\n";
}

struct Entry {
    std::string name; // a directory ends in "/"
    std::int64_t size = 1;
};

// Both listings of well-formed entries, as the tools print them.
bool entriesAreSafe(const std::vector<Entry>& entries, const ArchiveLimits& limits) {
    std::string names;
    std::vector<std::string> lines;
    for (const auto& entry : entries) {
        names += entry.name + "\n";
        const bool directory = entry.name.ends_with('/');
        lines.push_back(line(directory ? "drwxr-xr-x" : "-rw-r--r--",
                             std::to_string(directory ? 0 : entry.size), "b-", "stor", entry.name));
    }
    return zipListingIsSafe(names, listing(lines), limits.maxEntries, limits.maxUncompressedBytes,
                            limits.maxMemberBytes);
}

std::vector<Entry> numbered(int count) {
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({"f" + std::to_string(i)});
    }
    return entries;
}

TEST(ArchiveEntryNameIsSafe, Names) {
    std::string deep;
    for (int i = 0; i < 31; ++i) {
        deep += "d/";
    }
    // 32 pieces and 255 characters a piece at most; "^I" is how the tools print a tab.
    const std::vector<std::string> safe{"notes/readme.txt", "dir/", "a^b", deep + "f",
                                        std::string(255, 'n')};
    const std::vector<std::string> unsafe{deep + "d/f", std::string(256, 'n'),
                                          "a/../b",     "/abs",
                                          "a//b",       "a\\b",
                                          "./x",        "..",
                                          "x/./y",      "a\tb",
                                          "a\x7f",      "a^Ib",
                                          "caf\xe9",    ""};
    for (const auto& name : safe) {
        EXPECT_TRUE(archiveEntryNameIsSafe(name)) << name;
    }
    for (const auto& name : unsafe) {
        EXPECT_FALSE(archiveEntryNameIsSafe(name)) << name;
    }
}

TEST(ZipListingIsSafe, JudgesTheLongListingFields) {
    struct Case {
        std::string line;
        bool safe;
    };
    const std::vector<Case> cases{
        {line("-rw-r--r--", "12", "b-", "defN", "a"), true},
        {line("-rw-r--r--", "12", "t-", "stor", "a"), true},
        {line("?rw-------", "12", "b-", "defX", "a"), true},
        {line("-rw-r--r--", "12", "tx", "stor", "a"), false},
        {line("-rw-r--r--", "12", "bX", "stor", "a"), false},
        {line("-rw-r--r--", "12", "bl", "stor", "a"), false},
        {line("-rw-r--r--", "12", "b-", "bzp2", "a"), false},
        {line("-rw-r--r--", "12", "b-", "shrk", "a"), false},
        {line("-rw-r--r--", "-1", "b-", "stor", "a"), false},
        {line("-rw-r--r--", "1x", "b-", "stor", "a"), false},
        {line("-rw-r--r--", "99999999999999999999", "b-", "stor", "a"), false},
        {line("lrwxrwxrwx", "12", "b-", "stor", "a"), false},
        {line("crw-r--r--", "12", "b-", "stor", "a"), false},
        {line("drwxr-xr-x", "0", "b-", "stor", "a"), false}, // a folder needs a name ending "/"
        {"-rw-r--r--  3.0 unx 12 b- stor", false},           // six fields
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zipListingIsSafe("a\n", listing({c.line}), 10, unlimited, unlimited), c.safe)
            << c.line;
    }
}

TEST(ZipListingIsSafe, PairsNamesWithEntryLinesByPosition) {
    const auto file = line("-rw-r--r--", "1", "b-", "stor", "x");
    const auto directory = line("drwxr-xr-x", "0", "b-", "stor", "x");
    EXPECT_TRUE(zipListingIsSafe("d/\nd/f\n", listing({directory, file}), 10, 100, 100));
    EXPECT_FALSE(zipListingIsSafe("d/\n", listing({file}), 10, 100, 100));
    EXPECT_FALSE(zipListingIsSafe("a\nb\n", listing({file}), 10, 100, 100));
    EXPECT_FALSE(zipListingIsSafe("a\n", listing({file, file}), 10, 100, 100));
    EXPECT_FALSE(zipListingIsSafe("", listing({}), 10, 100, 100));
    EXPECT_TRUE(zipListingIsSafe("\n\na\n\n", listing({file}), 10, 100, 100));
    const auto huge = line("-rw-r--r--", std::to_string(unlimited - 1), "b-", "stor", "x");
    EXPECT_TRUE(zipListingIsSafe("a\n", listing({huge}), 10, unlimited, unlimited));
    EXPECT_FALSE(zipListingIsSafe("a\nb\n", listing({huge, huge}), 10, unlimited, unlimited));
}

TEST(ZipListingIsSafe, RefusesCollidingKeys) {
    struct Case {
        std::vector<Entry> entries;
        bool safe;
    };
    const std::vector<Case> cases{
        {{{"Readme"}, {"README"}}, false},
        {{{"caf\xc3\xa9"}, {"cafe\xcc\x81"}}, false},
        {{{"stra\u00dfe"}, {"strasse"}}, false},       // sharp s folds to "ss"
        {{{"STRASSE"}, {"stra\u1e9ee"}}, false},       // capital sharp s
        {{{"\u03b1\u03c2"}, {"\u03b1\u03c3"}}, false}, // final and medial sigma
        {{{"Stra\u00dfe"}, {"strasse/x"}}, false},     // a file as a folder
        {{{"x"}, {"x/"}}, false},
        {{{"lib"}, {"lib/x.js"}}, false},
        {{{"lib/x.js"}, {"LIB"}}, false},
        {{{"lib/"}, {"lib/x.js"}, {"lib2"}}, true},
        {{{"strase"}, {"strasse"}, {"\u03b1\u03c3\u03b1"}}, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(entriesAreSafe(cases[i].entries, appArchiveLimits), cases[i].safe)
            << "case " << i;
    }
}

TEST(ZipListingIsSafe, CountAndSizeLimits) {
    constexpr std::int64_t half = 268435456;
    struct Case {
        std::vector<Entry> entries;
        ArchiveLimits limits;
        bool safe;
    };
    const std::vector<Case> cases{
        {numbered(512), appArchiveLimits, true},
        {numbered(513), appArchiveLimits, false},
        {numbered(256), extensionArchiveLimits, true},
        {numbered(257), extensionArchiveLimits, false},
        {{{"big", half}}, appArchiveLimits, true},
        {{{"big", half + 1}}, appArchiveLimits, false},
        {{{"a", half}, {"b", half}, {"c", 0}}, appArchiveLimits, true},
        {{{"a", half}, {"b", half}, {"c", 1}}, appArchiveLimits, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(entriesAreSafe(cases[i].entries, cases[i].limits), cases[i].safe) << "case " << i;
    }
}

} // namespace
} // namespace zevra
