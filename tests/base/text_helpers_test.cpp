#include "base/hex.h"
#include "base/percent_encoding.h"
#include "base/unicode_text.h"
#include "base/utf8.h"

#include <gtest/gtest.h>

#include <array>

namespace zevra {
namespace {

TEST(Utf8Test, ValidityAndReplacementAgree) {
    struct Case {
        std::string bytes;
        bool valid;
        std::string replaced;
    };
    const Case cases[] = {
        {"plain", true, "plain"},
        {"\xC3\xA9 \xF0\x9F\x8C\x8A", true, "\xC3\xA9 \xF0\x9F\x8C\x8A"},
        {"\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},                 // overlong "/"
        {"\xED\xA0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // surrogate
        {"\xF4\x90\x80\x80", false,
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // above U+10FFFF
        {"a\xE2\x82", false, "a\xEF\xBF\xBD"},                // cut short: one replacement
        {std::string("\0", 1), true, std::string("\0", 1)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(unicodeScalars(c.bytes).has_value(), c.valid) << c.bytes;
        EXPECT_EQ(utf8WithReplacement(c.bytes), c.replaced) << c.bytes;
    }
}

TEST(Utf8Test, ScalarsRoundTrip) {
    const std::u32string scalars = {U'a', U'\u00e9', U'\u20ac', U'\U0001F30A', U'\U0010FFFF'};
    std::string text;
    for (const char32_t scalar : scalars) {
        appendUtf8(text, scalar);
    }
    EXPECT_EQ(unicodeScalars(text), scalars);
}

TEST(TrimmedWhiteSpaceAndLineBreaks, RemovesEveryUnicodeSpaceAtTheEndsOnly) {
    const struct {
        std::string_view text;
        std::string_view expected;
    } cases[] = {
        {" \t\r\n\v\ftok \n", "tok"},
        {"\xC2\xA0tok\xC2\xA0", "tok"},                 // U+00A0
        {"\xC2\x85tok\xE2\x80\xA8\xE2\x80\xA9", "tok"}, // U+0085, U+2028, U+2029
        {"\xE3\x80\x80\xE1\x9A\x80 tok\xE2\x80\x8A\xE2\x80\xAF\xE2\x81\x9F", "tok"},
        {"t\xC2\xA0 k", "t\xC2\xA0 k"}, // inside: kept
        {"\xE2\x80\x8Btok\xEF\xBB\xBF",
         "\xE2\x80\x8Btok\xEF\xBB\xBF"}, // U+200B, U+FEFF: not spaces
        {"tok\xC5\x85", "tok\xC5\x85"},  // U+0145 ends in byte 0x85
        {" \xC2\xA0\xE2\x80\xA8\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trimmedWhiteSpaceAndLineBreaks(c.text), c.expected) << c.text;
    }
}

TEST(PercentEncodingTest, DecodesOnlyWellFormedEscapes) {
    EXPECT_EQ(percentDecoded("a%2Fb%2f%00"), std::string("a/b/\0", 5));
    for (const char* broken : {"%", "%4", "%zz", "a%4g"}) {
        EXPECT_EQ(percentDecoded(broken), std::nullopt) << broken;
        EXPECT_FALSE(isWellFormedURLText(broken)) << broken;
    }
    EXPECT_TRUE(isWellFormedURLText("https://h.example/a%20b?x=[1]#f"));
    EXPECT_FALSE(isWellFormedURLText("https://h.example/a b"));
    EXPECT_FALSE(isWellFormedURLText(std::string("a\0b", 3)));
}

TEST(HexTest, LowerCaseTwoDigitsAByte) {
    const std::array<unsigned char, 4> bytes = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(lowercaseHex(bytes), "000fa0ff");
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
