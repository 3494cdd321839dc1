#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The maker's hosts whose pages the loopback server fetches on the page's behalf: the site host
// and its "www." form (served under "/proxy"), and the release host, its "www." form and its
// one-label subdomains (served under "/surface/<host>").

[[nodiscard]] bool isNativeFirstPartySurfaceHost(std::string_view host);
// True for the site host and its "www." form only.
[[nodiscard]] bool isSiteHost(std::string_view host);

// "https://host[:port]" of a first-party https URL; the port only when it is not 443.
[[nodiscard]] std::optional<std::string> nativeProxyOrigin(std::string_view url);
// The loopback base that serves the URL's host, whatever its scheme.
[[nodiscard]] std::optional<std::string> nativeProxyLocalBase(std::string_view url);
// The loopback base for one first-party host (lower case).
[[nodiscard]] std::string localBaseForHost(const std::string& host);

// The loopback URL that serves a first-party URL; root-relative paths are taken as loopback
// paths, loopback and foreign URLs come back unchanged. Absent for blank text.
[[nodiscard]] std::optional<std::string> nativeAppRoutedURL(std::string_view text);

} // namespace zevra
