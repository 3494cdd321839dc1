#pragma once

#include <cstdint>
#include <string_view>

namespace zevra {

// Where the shell page and the local API live. The listening port may differ in tests; these
// texts never do, since pages, the Host check and every origin rule name them.
inline constexpr std::uint16_t shellPort = 18484;
inline constexpr std::string_view loopbackBase = "http://127.0.0.1:18484";
inline constexpr std::string_view localhostBase = "http://localhost:18484";
inline constexpr std::string_view shellPageURL = "http://127.0.0.1:18484/index.html";

// Scheme "http", host "127.0.0.1" or "localhost", port 18484, as a serialised origin.
[[nodiscard]] constexpr bool isLocalShellOrigin(std::string_view origin) {
    return origin == loopbackBase || origin == localhostBase;
}

// A URL on the shell origin whose path starts with `pathPrefix` (which starts with "/").
[[nodiscard]] constexpr bool isLocalShellURL(std::string_view url, std::string_view pathPrefix) {
    const auto under = [&](std::string_view base) {
        return url.starts_with(base) && url.substr(base.size()).starts_with(pathPrefix);
    };
    return under(loopbackBase) || under(localhostBase);
}

} // namespace zevra
