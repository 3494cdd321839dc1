#pragma once

#include <string>
#include <string_view>

namespace zevra {

// Where a proxied page came from and where the loopback server serves it.
struct PageOrigin {
    std::string_view pagePath;  // the upstream path, still percent-encoded
    std::string_view localBase; // "http://127.0.0.1:18484/proxy" or ".../surface/<host>"
    std::string_view origin;    // "https://host[:port]"
};

// A first-party HTML page made to resolve and request everything through the loopback server:
// terminal pages cleaned of the site's own shell, a base tag and the interceptor script added
// (each only once).
[[nodiscard]] std::string rewrittenPage(std::string html, const PageOrigin& page);

} // namespace zevra
