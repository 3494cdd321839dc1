#include "base/absolute_url.h"

#include "base/ascii.h"
#include "base/percent_encoding.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

// "scheme://" and the authority as written.
std::string schemeAndAuthority(const AbsoluteURL& url) {
    std::string text = url.scheme + "://";
    if (url.userInfo) {
        text += *url.userInfo + "@";
    }
    text += url.host;
    if (url.port) {
        text += ":" + *url.port;
    }
    return text;
}

// RFC 3986 section 5.2.4, on a path without query or fragment.
std::string withoutDotSegments(std::string_view path) {
    std::string output;
    while (!path.empty()) {
        if (path.starts_with("../")) {
            path.remove_prefix(3);
        } else if (path.starts_with("./")) {
            path.remove_prefix(2);
        } else if (path.starts_with("/./")) {
            path.remove_prefix(2);
        } else if (path == "/.") {
            path = "/";
        } else if (path.starts_with("/../") || path == "/..") {
            path = path.size() == 3 ? "/" : path.substr(3);
            output.erase(std::min(output.rfind('/'), output.size()));
        } else if (path == "." || path == "..") {
            path = {};
        } else {
            const auto next = std::min(path.find('/', 1), path.size());
            output.append(path.substr(0, next));
            path.remove_prefix(next);
        }
    }
    return output;
}

// The reference's path with its query and fragment split off.
std::pair<std::string_view, std::string_view> pathAndTail(std::string_view reference) {
    const auto tail = std::min(reference.find_first_of("?#"), reference.size());
    return {reference.substr(0, tail), reference.substr(tail)};
}

} // namespace

std::optional<AbsoluteURL> resolvedURL(const AbsoluteURL& base, std::string_view reference) {
    const auto colon = reference.find(':');
    const auto delimiter = reference.find_first_of("/?#");
    if (colon != std::string_view::npos && colon < delimiter &&
        isScheme(reference.substr(0, colon))) {
        const auto [path, tail] = pathAndTail(reference.substr(colon + 1));
        if (!path.starts_with("//")) {
            return parseAbsoluteURL(reference);
        }
        const auto slash = std::min(path.find('/', 2), path.size());
        return parseAbsoluteURL(std::string(reference.substr(0, colon + 1)) +
                                std::string(path.substr(0, slash)) +
                                withoutDotSegments(path.substr(slash)) + std::string(tail));
    }
    if (reference.starts_with("//")) {
        return resolvedURL(base, base.scheme + ":" + std::string(reference));
    }
    std::string text = schemeAndAuthority(base);
    const auto [path, tail] = pathAndTail(reference);
    if (path.empty()) {
        text += base.percentEncodedPath;
        if (tail.starts_with("#") && base.query) {
            text += "?" + *base.query;
        }
    } else if (path.starts_with("/")) {
        text += withoutDotSegments(path);
    } else {
        const std::string& basePath = base.percentEncodedPath;
        const std::string directory =
            basePath.empty() ? "/" : basePath.substr(0, basePath.rfind('/') + 1);
        text += withoutDotSegments(directory + std::string(path));
    }
    return parseAbsoluteURL(text + std::string(tail));
}

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
