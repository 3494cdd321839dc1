#pragma once

#include <string>
#include <string_view>

namespace zevra {

enum class ProxyTargetOutcome { ok, unsupportedSurfaceHost, proxyError };

// Where a local proxy path is fetched from, and the loopback base its page is served under.
struct ProxyTarget {
    ProxyTargetOutcome outcome = ProxyTargetOutcome::proxyError;
    std::string origin;       // "https://host"
    std::string localBase;    // "http://127.0.0.1:18484/proxy" or ".../surface/host"
    std::string upstreamPath; // still percent-encoded, as the request named it
    std::string url;          // origin + upstream path + "?" + query
};

// "/surface/<host>/…", "/proxy/…", "/api/verify…" and other "/api/…" request targets. Only the
// first segment and the surface host are decoded: decoding the rest would let an encoded "?",
// "#" or "%" change which upstream path is asked for.
[[nodiscard]] ProxyTarget proxyTarget(std::string_view rawPath);

} // namespace zevra
