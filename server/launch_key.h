#pragma once

#include "platform/secure_random.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The name under which the app's web views carry this launch's key as a cookie.
inline constexpr std::string_view launchKeyCookieName = "zevra_launch_key";

// 32 random bytes as 64 lower-case hexadecimal digits; absent when the generator fails, since a
// guessable key would open the API to every page in the user's browser.
[[nodiscard]] std::optional<std::string> makeLaunchKey(SecureRandom& random);

// Whether the request names `key`, in the "X-Zevra-Launch-Key" header or in the launch-key
// cookie. Never true for an empty key.
[[nodiscard]] bool requestCarriesLaunchKey(std::string_view headers, std::string_view key);

// "<runtime>/ZEVRA/launch-key": where the user's own tools find the running app's key.
[[nodiscard]] std::filesystem::path launchKeyFile(const std::filesystem::path& runtime);

// Replaces the key file (folder 0700, file 0600). False, writing nothing, when the folder is not
// a real folder of this user's: a key must never land where others can read it.
[[nodiscard]] bool writeLaunchKeyFile(const std::filesystem::path& file, std::string_view key);

} // namespace zevra
