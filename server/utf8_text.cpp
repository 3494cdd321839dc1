#include "server/utf8_text.h"

#include <cstddef>
#include <cstdint>

namespace zevra {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

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

} // namespace zevra
