#include "base/absolute_url.h"
#include "base/hex.h"
#include "base/percent_encoding.h"
#include "base/unicode_text.h"
#include "base/utf8.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace zevra {
namespace {

TEST(ResolvedURLTest, ReferencesResolveAgainstTheBase) {
    const auto base = parseAbsoluteURL("https://h.example:8443/a/b/c?q=1#f");
    ASSERT_TRUE(base.has_value());
    const std::pair<std::string, std::string> cases[] = {
        {"https://o.example/x/../y", "https://o.example/y"},
        {"//o.example/p", "https://o.example/p"},
        {"/x/./y/../z?r", "https://h.example:8443/x/z?r"},
        {"d", "https://h.example:8443/a/b/d"},
        {"../../../d#g", "https://h.example:8443/d#g"},
        {"?z", "https://h.example:8443/a/b/c?z"},
        {"#g", "https://h.example:8443/a/b/c?q=1#g"},
        {"a b", ""},
    };
    for (const auto& [reference, expected] : cases) {
        const auto resolved = resolvedURL(*base, reference);
        EXPECT_EQ(resolved ? resolved->absoluteString : "", expected) << reference;
    }
}

TEST(Utf8Test, ValidityReplacementAndScalars) {
    const std::string bad = "\xEF\xBF\xBD"; // U+FFFD, one per byte that starts no character
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"\xC3\xA9 \xF0\x9F\x8C\x8A", true, "\xC3\xA9 \xF0\x9F\x8C\x8A"},
        {"\xC0\xAF", false, bad + bad},                     // overlong "/"
        {"\xE0\x80\xAF", false, bad + bad + bad},           // overlong "/" in three bytes
        {"\xED\xA0\x80", false, bad + bad + bad},           // surrogate
        {"\xF4\x90\x80\x80", false, bad + bad + bad + bad}, // above U+10FFFF
        {"a\xE2\x82", false, "a" + bad},                    // cut short: one replacement
        {std::string("\0", 1), true, std::string("\0", 1)},
    };
    for (const auto& [bytes, valid, replaced] : cases) {
        EXPECT_EQ(isValidUtf8(bytes), valid) << bytes;
        EXPECT_EQ(unicodeScalars(bytes).has_value(), valid) << bytes;
        EXPECT_EQ(utf8WithReplacement(bytes), replaced) << bytes;
    }
    const std::u32string scalars = {U'a', U'\u00e9', U'\u20ac', U'\U0001F30A', U'\U0010FFFF'};
    std::string text;
    for (const char32_t scalar : scalars) {
        appendUtf8(text, scalar);
    }
    EXPECT_EQ(unicodeScalars(text), scalars);
}

TEST(TrimmedWhiteSpaceAndLineBreaks, RemovesEveryUnicodeSpaceAtTheEndsOnly) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {" \t\r\n\v\ftok \n", "tok"},
        {"\xC2\x85tok\xE2\x80\xA8\xE2\x80\xA9", "tok"}, // U+0085, U+2028, U+2029
        {"\xE3\x80\x80\xE1\x9A\x80 tok\xE2\x80\x8A\xE2\x80\xAF\xE2\x81\x9F", "tok"},
        {"t\xC2\xA0 k", "t\xC2\xA0 k"},                                 // inside: kept
        {"\xE2\x80\x8Btok\xEF\xBB\xBF", "\xE2\x80\x8Btok\xEF\xBB\xBF"}, // U+200B, U+FEFF
        {"tok\xC5\x85", "tok\xC5\x85"},                                 // U+0145 ends in byte 0x85
        {" \xC2\xA0\xE2\x80\xA8\n", ""},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(trimmedWhiteSpaceAndLineBreaks(text), expected) << text;
    }
}

TEST(EncodingTest, PercentDecodesOnlyWellFormedEscapesAndHexIsLowerCase) {
    EXPECT_EQ(percentDecoded("a%2Fb%2f%00"), std::string("a/b/\0", 5));
    for (const char* broken : {"%", "%4", "%zz", "a%4g"}) {
        EXPECT_EQ(percentDecoded(broken), std::nullopt) << broken;
        EXPECT_FALSE(isWellFormedURLText(broken)) << broken;
    }
    EXPECT_TRUE(isWellFormedURLText("https://h.example/a%20b?x=[1]#f"));
    EXPECT_FALSE(isWellFormedURLText("https://h.example/a b"));
    EXPECT_FALSE(isWellFormedURLText(std::string("a\0b", 3)));
    EXPECT_EQ(lowercaseHex(std::array<unsigned char, 4>{0x00, 0x0f, 0xa0, 0xff}), "000fa0ff");
}

TEST(UnicodeTextTest, CountsUserPerceivedCharacters) {
    EXPECT_EQ(characterCount("e\xCC\x81"), 1);                        // e + combining acute
    EXPECT_EQ(characterCount("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"), 1); // a flag
    EXPECT_EQ(characterCount("\xFF"), std::nullopt);
    EXPECT_TRUE(hasAtMostCharacters("e\xCC\x81", 1));
    EXPECT_EQ(composedLowerCase("E\xCC\x81"), "\xC3\xA9");
}

} // namespace
} // namespace zevra
