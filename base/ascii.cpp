#include "base/ascii.h"

#include <algorithm>

namespace zevra {

bool isDecimalDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), isAsciiDigit);
}

std::string asciiLowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

} // namespace zevra
