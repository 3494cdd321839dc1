#pragma once

#include "base/absolute_url.h"

#include <optional>
#include <string_view>

namespace zevra {

// The URL when it is "https" on the release host itself (any case, no "www."), without user
// information and on port 443 if a port is given.
[[nodiscard]] std::optional<AbsoluteURL> trustedReleaseURL(std::string_view text);

// A trusted release URL whose path is exactly "/downloads/" + expectedFilename, spelled without
// escapes, with no query and no fragment.
[[nodiscard]] std::optional<AbsoluteURL>
trustedReleaseArchiveURL(std::string_view text, std::string_view expectedFilename);

} // namespace zevra
