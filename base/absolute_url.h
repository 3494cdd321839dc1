#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// An absolute URL split into its parts, as written (nothing resolved or normalised).
struct AbsoluteURL {
    std::string absoluteString;
    std::string scheme;
    std::optional<std::string> userInfo;
    std::string host;
    std::optional<std::string> port; // digits as written; absent when not given or empty
    std::string percentEncodedPath;
    std::optional<std::string> query; // present for a bare "?" too
    std::optional<std::string> fragment;

    friend bool operator==(const AbsoluteURL& a, const AbsoluteURL& b) {
        return a.absoluteString == b.absoluteString;
    }
};

// Parses "scheme://authority/path?query#fragment"; nothing for text that is not such a URL
// (characters outside the URL alphabet, a broken percent escape, no authority).
[[nodiscard]] std::optional<AbsoluteURL> parseAbsoluteURL(std::string_view text);

// `reference` (absolute, network-path, absolute-path, relative-path, query or fragment) resolved
// against `base` with its dot segments removed; nothing when the result is not such a URL.
[[nodiscard]] std::optional<AbsoluteURL> resolvedURL(const AbsoluteURL& base,
                                                     std::string_view reference);

} // namespace zevra
