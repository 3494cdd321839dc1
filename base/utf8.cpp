#include "base/utf8.h"

#include <array>
#include <cstdint>

namespace zevra {
namespace {

struct Sequence {
    std::size_t length; // bytes taken: the whole sequence, or its maximal invalid prefix
    bool valid;
};

Sequence sequenceAt(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    if (lead < 0x80) {
        return {1, true};
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // overlong
        high = lead == 0xED ? 0x9F : 0xBF; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;  // overlong
        high = lead == 0xF4 ? 0x8F : 0xBF; // above U+10FFFF
    } else {
        return {1, false};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= bytes.size()) {
            return {i, false};
        }
        const auto next = static_cast<std::uint8_t>(bytes[at + i]);
        const std::uint8_t min = i == 1 ? low : 0x80;
        const std::uint8_t max = i == 1 ? high : 0xBF;
        if (next < min || next > max) {
            return {i, false};
        }
    }
    return {length, true};
}

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

} // namespace

std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at) {
    const auto sequence = sequenceAt(bytes, at);
    return sequence.valid ? sequence.length : 0;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const auto sequence = sequenceAt(bytes, at);
        if (!sequence.valid) {
            return false;
        }
        at += sequence.length;
    }
    return true;
}

std::string utf8WithReplacement(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const auto sequence = sequenceAt(bytes, at);
        if (sequence.valid) {
            text.append(bytes.substr(at, sequence.length));
        } else {
            text.append(replacementCharacterUtf8);
        }
        at += sequence.length;
    }
    return text;
}

std::optional<std::u32string> unicodeScalars(std::string_view utf8) {
    std::u32string scalars;
    scalars.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const auto sequence = sequenceAt(utf8, at);
        if (!sequence.valid) {
            return std::nullopt;
        }
        const auto lead = static_cast<std::uint8_t>(utf8[at]);
        constexpr std::uint8_t leadMasks[] = {0x7F, 0x1F, 0x0F, 0x07};
        auto scalar = static_cast<char32_t>(lead & leadMasks[sequence.length - 1]);
        for (std::size_t i = 1; i < sequence.length; ++i) {
            scalar = (scalar << 6) | (static_cast<std::uint8_t>(utf8[at + i]) & 0x3F);
        }
        scalars.push_back(scalar);
        at += sequence.length;
    }
    return scalars;
}

void appendUtf8(std::string& text, char32_t scalar) {
    if (scalar < 0x80) {
        text.push_back(static_cast<char>(scalar));
    } else if (scalar < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
        text.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else if (scalar < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
        text.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
        text.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    }
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
