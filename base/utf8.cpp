#include "base/utf8.h"

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

} // namespace zevra
