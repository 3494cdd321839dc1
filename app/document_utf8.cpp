#include "app/document_utf8.h"

#include <cstddef>

namespace zevra {
namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xc0) == 0x80;
}

} // namespace

std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        secondLow = lead == 0xe0 ? 0xa0 : 0x80;  // overlong
        secondHigh = lead == 0xed ? 0x9f : 0xbf; // surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        secondLow = lead == 0xf0 ? 0x90 : 0x80;  // overlong
        secondHigh = lead == 0xf4 ? 0x8f : 0xbf; // above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() - at < length) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if (second < secondLow || second > secondHigh) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(static_cast<unsigned char>(bytes[at + i]))) {
            return 0;
        }
    }
    return length;
}

bool isValidUTF8(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t length = utf8SequenceLength(bytes, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

} // namespace zevra
