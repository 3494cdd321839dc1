#include "update/trusted_release_url.h"

#include "base/percent_encoding.h"

#include "base/ascii.h"
#include "build_config.h"

#include <string>

namespace zevra {
namespace {

// "^[A-Za-z0-9._-]+\.zip$"
bool isArchiveFilename(std::string_view name) {
    constexpr std::string_view suffix = ".zip";
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) {
        return false;
    }
    for (const char c : name) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                             (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<AbsoluteURL> trustedReleaseURL(std::string_view text) {
    auto url = parseAbsoluteURL(text);
    if (!url || url->scheme != "https") {
        return std::nullopt;
    }
    if (url->host.empty() || asciiLowerCase(url->host) != config::ReleaseHost) {
        return std::nullopt;
    }
    if (url->userInfo) {
        return std::nullopt;
    }
    if (url->port && url->port != "443") {
        return std::nullopt;
    }
    return url;
}

std::optional<AbsoluteURL> trustedReleaseArchiveURL(std::string_view text,
                                                    std::string_view expectedFilename) {
    if (!isArchiveFilename(expectedFilename)) {
        return std::nullopt;
    }
    auto url = trustedReleaseURL(text);
    if (!url || url->query || url->fragment) {
        return std::nullopt;
    }
    const std::string expectedPath = "/downloads/" + std::string(expectedFilename);
    const auto decodedPath = percentDecoded(url->percentEncodedPath);
    if (!decodedPath || *decodedPath != expectedPath || url->percentEncodedPath != expectedPath) {
        return std::nullopt;
    }
    return url;
}

} // namespace zevra
