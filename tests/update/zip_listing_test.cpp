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
        {"-rw-r--r--  3.0 unx 12 b- stor", false}, // six fields
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
    EXPECT_FALSE(zipListingIsSafe("d/\nd/f\n", listing({file, directory}), 10, 100, 100));
    EXPECT_FALSE(zipListingIsSafe("a\nb\n", listing({file}), 10, 100, 100));
    EXPECT_FALSE(zipListingIsSafe("a\n", listing({file, file}), 10, 100, 100));
    EXPECT_FALSE(zipListingIsSafe("", listing({}), 10, 100, 100));
    EXPECT_TRUE(zipListingIsSafe("\n\na\n\n", listing({file}), 10, 100, 100));
}

TEST(ZipListingIsSafe, RefusesATotalThatOverflows) {
    const auto huge = line("-rw-r--r--", std::to_string(unlimited - 1), "b-", "stor", "x");
    EXPECT_TRUE(zipListingIsSafe("a\n", listing({huge}), 10, unlimited, unlimited));
    EXPECT_FALSE(zipListingIsSafe("a\nb\n", listing({huge, huge}), 10, unlimited, unlimited));
}

TEST(ZipListingIsSafe, RefusesNamesThatAreNotUTF8) {
    const auto file = line("-rw-r--r--", "1", "b-", "stor", "x");
    EXPECT_FALSE(zipListingIsSafe("caf\xe9\n", listing({file}), 10, 100, 100));
}

} // namespace
} // namespace zevra
