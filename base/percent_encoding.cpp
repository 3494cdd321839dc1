#include "base/percent_encoding.h"

#include "base/ascii.h"
#include "base/hex.h"

#include <string_view>

namespace zevra {

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            decoded.push_back(text[at]);
            continue;
        }
        if (at + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexDigitValue(text[at + 1]);
        const int low = hexDigitValue(text[at + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        decoded.push_back(static_cast<char>(high * 16 + low));
        at += 2;
    }
    return decoded;
}

namespace {

std::string percentEncoded(std::string_view text, std::string_view keptPunctuation) {
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        if (isAsciiAlpha(c) || isAsciiDigit(c) ||
            keptPunctuation.find(c) != std::string_view::npos) {
            encoded.push_back(c);
            continue;
        }
        constexpr std::string_view digits = "0123456789ABCDEF";
        const auto byte = static_cast<unsigned char>(c);
        encoded.push_back('%');
        encoded.push_back(digits[byte >> 4]);
        encoded.push_back(digits[byte & 0x0F]);
    }
    return encoded;
}

} // namespace

std::string percentEncodedForPath(std::string_view text) {
    return percentEncoded(text, "-._~!$&'()*+,:;=@/");
}

std::string percentEncodedForQueryValue(std::string_view text) {
    return percentEncoded(text, "-._~!$'()*,/:;?@");
}

bool isURLCharacter(char c) {
    constexpr std::string_view punctuation = "-._~:/?#[]@!$&'()*+,;=%";
    return isAsciiAlpha(c) || isAsciiDigit(c) || punctuation.find(c) != std::string_view::npos;
}

bool isWellFormedURLText(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!isURLCharacter(text[at])) {
            return false;
        }
        if (text[at] == '%' && (at + 2 >= text.size() || !isAsciiHexDigit(text[at + 1]) ||
                                !isAsciiHexDigit(text[at + 2]))) {
            return false;
        }
    }
    return true;
}

} // namespace zevra
