#pragma once

#include <string_view>

namespace zevra {

// The name under which the app's web views carry this launch's key as a cookie.
inline constexpr std::string_view launchKeyCookieName = "zevra_launch_key";

// Whether the request names `key`, in the "X-Zevra-Launch-Key" header or in the launch-key
// cookie. Never true for an empty key.
[[nodiscard]] bool requestCarriesLaunchKey(std::string_view headers, std::string_view key);

} // namespace zevra
