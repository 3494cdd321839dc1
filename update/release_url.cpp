#include "update/release_url.h"

#include "update/unicode_text.h"

#include <algorithm>
#include <cstring>

namespace zevra {
namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}

// Unreserved and reserved characters of RFC 3986 plus "%" for escapes.
bool isURLCharacter(char c) {
    return isAlpha(c) || isDigit(c) || (c != '\0' && std::strchr("-._~:/?#[]@!$&'()*+,;=%", c));
}

bool hasValidEscapes(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isURLCharacter(text[i])) {
            return false;
        }
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
                return false;
            }
        }
    }
    return true;
}

bool isScheme(std::string_view scheme) {
    if (scheme.empty() || !isAlpha(scheme.front())) {
        return false;
    }
    return std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.';
    });
}

// Splits "host[:port]" (an IPv6 literal keeps its brackets); false when the port is not digits.
bool splitHostAndPort(std::string_view hostPort, ReleaseURL& url) {
    const auto bracket = hostPort.rfind(']');
    auto colon = hostPort.rfind(':');
    if (colon != std::string_view::npos && bracket != std::string_view::npos && colon < bracket) {
        colon = std::string_view::npos;
    }
    url.host = std::string(hostPort.substr(0, colon));
    if (colon == std::string_view::npos) {
        return true;
    }
    const auto port = hostPort.substr(colon + 1);
    if (!isDecimalDigits(port)) {
        return false;
    }
    if (!port.empty()) {
        url.port = std::string(port);
    }
    return true;
}

} // namespace

std::optional<ReleaseURL> parseReleaseURL(std::string_view text) {
    if (!hasValidEscapes(text)) {
        return std::nullopt;
    }
    ReleaseURL url;
    url.absoluteString = std::string(text);
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || !isScheme(text.substr(0, colon))) {
        return std::nullopt;
    }
    url.scheme = std::string(text.substr(0, colon));
    auto rest = text.substr(colon + 1);
    if (rest.substr(0, 2) != "//") {
        return std::nullopt;
    }
    rest.remove_prefix(2);

    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        url.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const auto question = rest.find('?'); question != std::string_view::npos) {
        url.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    const auto slash = rest.find('/');
    auto authority = rest.substr(0, slash);
    url.percentEncodedPath =
        slash == std::string_view::npos ? std::string{} : std::string(rest.substr(slash));

    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        url.userInfo = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
    }
    if (!splitHostAndPort(authority, url)) {
        return std::nullopt;
    }
    return url;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
            return std::nullopt;
        }
        const char decoded = static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
        if (decoded == '\0') {
            return std::nullopt;
        }
        result.push_back(decoded);
        i += 2;
    }
    return result;
}

} // namespace zevra
