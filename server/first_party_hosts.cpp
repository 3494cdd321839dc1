#include "server/first_party_hosts.h"

#include "base/absolute_url.h"
#include "base/ascii.h"
#include "base/shell_address.h"
#include "base/utf8.h"
#include "build_config.h"

#include <algorithm>

namespace zevra {
namespace {

// One DNS label: 1 to 63 of [a-z0-9-], neither starting nor ending with "-".
bool isOneLabel(std::string_view label) {
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
        return false;
    }
    return std::all_of(label.begin(), label.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || isAsciiDigit(c) || c == '-';
    });
}

// Port digits naming 443, leading zeros allowed.
bool isDefaultHttpsPort(std::string_view digits) {
    const auto first = digits.find_first_not_of('0');
    return first != std::string_view::npos && digits.substr(first) == "443";
}

std::string lowerHost(std::string_view host) {
    return asciiLowerCase(std::string(trimmedWhiteSpaceAndLineBreaks(host)));
}

} // namespace

bool isSiteHost(std::string_view host) {
    const std::string site = config::SiteHost;
    const std::string lowered = lowerHost(host);
    return lowered == site || lowered == "www." + site;
}

bool isNativeFirstPartySurfaceHost(std::string_view host) {
    const std::string release = config::ReleaseHost;
    const std::string lowered = lowerHost(host);
    if (isSiteHost(lowered) || lowered == release || lowered == "www." + release) {
        return true;
    }
    const std::string suffix = "." + release;
    if (!lowered.ends_with(suffix)) {
        return false;
    }
    return isOneLabel(std::string_view(lowered).substr(0, lowered.size() - suffix.size()));
}

std::optional<std::string> nativeProxyOrigin(std::string_view url) {
    const auto parsed = parseAbsoluteURL(url);
    if (!parsed || asciiLowerCase(parsed->scheme) != "https") {
        return std::nullopt;
    }
    const std::string host = asciiLowerCase(parsed->host);
    if (!isNativeFirstPartySurfaceHost(host)) {
        return std::nullopt;
    }
    std::string origin = "https://" + host;
    if (parsed->port && !isDefaultHttpsPort(*parsed->port)) {
        origin += ":" + *parsed->port;
    }
    return origin;
}

std::string localBaseForHost(const std::string& host) {
    if (isSiteHost(host)) {
        return std::string(loopbackBase) + "/proxy";
    }
    return std::string(loopbackBase) + "/surface/" + host;
}

std::optional<std::string> nativeProxyLocalBase(std::string_view url) {
    const auto parsed = parseAbsoluteURL(url);
    if (!parsed || parsed->host.empty()) {
        return std::nullopt;
    }
    const std::string host = asciiLowerCase(parsed->host);
    if (!isNativeFirstPartySurfaceHost(host)) {
        return std::nullopt;
    }
    return localBaseForHost(host);
}

std::optional<std::string> nativeAppRoutedURL(std::string_view text) {
    const std::string_view trimmed = trimmedWhiteSpaceAndLineBreaks(text);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    if (trimmed.starts_with("/") && !trimmed.starts_with("//")) {
        return std::string(loopbackBase) + std::string(trimmed);
    }
    const auto parsed = parseAbsoluteURL(trimmed);
    if (!parsed) {
        return std::string(trimmed);
    }
    const std::string scheme = asciiLowerCase(parsed->scheme);
    const std::string host = asciiLowerCase(parsed->host);
    if ((scheme != "http" && scheme != "https") || host.empty()) {
        return std::string(trimmed);
    }
    const bool loopbackHost = host == "127.0.0.1" || host == "localhost";
    if ((loopbackHost && parsed->port == "18484") || !isNativeFirstPartySurfaceHost(host)) {
        return std::string(trimmed);
    }
    std::string routed = localBaseForHost(host);
    routed += parsed->percentEncodedPath.empty() ? "/" : parsed->percentEncodedPath;
    if (parsed->query && !parsed->query->empty()) {
        routed += "?" + *parsed->query;
    }
    if (parsed->fragment && !parsed->fragment->empty()) {
        routed += "#" + *parsed->fragment;
    }
    return routed;
}

} // namespace zevra
