#include "base/absolute_url.h"

#include "base/ascii.h"
#include "base/percent_encoding.h"

#include <algorithm>
#include <cstring>

namespace zevra {
namespace {

bool isScheme(std::string_view scheme) {
    if (scheme.empty() || !isAsciiAlpha(scheme.front())) {
        return false;
    }
    return std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return isAsciiAlpha(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.';
    });
}

// Splits "host[:port]" (an IPv6 literal keeps its brackets); false when the port is not digits.
bool splitHostAndPort(std::string_view hostPort, AbsoluteURL& url) {
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

std::optional<AbsoluteURL> parseAbsoluteURL(std::string_view text) {
    if (!isWellFormedURLText(text)) {
        return std::nullopt;
    }
    AbsoluteURL url;
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

} // namespace zevra
