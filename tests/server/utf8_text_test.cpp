#include "server/utf8_text.h"

#include <gtest/gtest.h>

#include <string_view>

namespace zevra {
namespace {

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

} // namespace
} // namespace zevra
