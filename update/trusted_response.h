#pragma once

#include "update/release_response.h"

#include <optional>
#include <string_view>

namespace zevra {

// True when the response has status 200, ended exactly at `expected` on the release host and
// carries exactly `expectedMIME` (lower case; parameters such as a charset make it fail).
[[nodiscard]] bool exactTrustedResponseURL(const std::optional<ReleaseResponse>& response,
                                           std::string_view expected,
                                           std::string_view expectedMIME);

} // namespace zevra
