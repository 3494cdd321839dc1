#include "server/utf8_text.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zevra {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// The Unicode White_Space characters in UTF-8. A lead byte never occurs inside another
// character, so matching whole sequences at either end of valid text cannot split one.
constexpr std::array<std::string_view, 25> whiteSpaceCharacters = {
    "\t",           "\n",           "\v",           // U+0009, U+000A, U+000B
    "\f",           "\r",           " ",            // U+000C, U+000D, U+0020
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", // U+0085, U+00A0, U+1680
    "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", // U+2000, U+2001, U+2002
    "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", // U+2003, U+2004, U+2005
    "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", // U+2006, U+2007, U+2008
    "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", // U+2009, U+200A, U+2028
    "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", // U+2029, U+202F, U+205F
    "\xE3\x80\x80",                                 // U+3000
};

std::size_t leadingWhiteSpace(std::string_view text) {
    for (const auto space : whiteSpaceCharacters) {
        if (text.starts_with(space)) {
            return space.size();
        }
    }
    return 0;
}

std::size_t trailingWhiteSpace(std::string_view text) {
    for (const auto space : whiteSpaceCharacters) {
        if (text.ends_with(space)) {
            return space.size();
        }
    }
    return 0;
}

// Length of the well-formed sequence at `at`, or the length of its maximal invalid prefix
// (at least 1) as a negative number.
long sequenceAt(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return -1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= bytes.size()) {
            return -static_cast<long>(i);
        }
        const auto next = static_cast<std::uint8_t>(bytes[at + i]);
        const std::uint8_t min = i == 1 ? low : 0x80;
        const std::uint8_t max = i == 1 ? high : 0xBF;
        if (next < min || next > max) {
            return -static_cast<long>(i);
        }
    }
    return static_cast<long>(length);
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const long length = sequenceAt(bytes, at);
        if (length < 0) {
            return false;
        }
        at += static_cast<std::size_t>(length);
    }
    return true;
}

std::string utf8WithReplacement(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const long length = sequenceAt(bytes, at);
        if (length < 0) {
            text.append(replacementCharacter);
            at += static_cast<std::size_t>(-length);
            continue;
        }
        text.append(bytes.substr(at, static_cast<std::size_t>(length)));
        at += static_cast<std::size_t>(length);
    }
    return text;
}

std::string_view trimmedWhiteSpaceAndLineBreaks(std::string_view text) {
    while (const std::size_t length = leadingWhiteSpace(text)) {
        text.remove_prefix(length);
    }
    while (const std::size_t length = trailingWhiteSpace(text)) {
        text.remove_suffix(length);
    }
    return text;
}

} // namespace zevra
