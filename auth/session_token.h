#pragma once

#include <string_view>

namespace zevra {

// A session token is exactly 32 hexadecimal digits of either case, and nothing else: no
// surrounding space and no trailing line break.
[[nodiscard]] bool isWellFormedSessionToken(std::string_view token);

// Three dot-separated decimal numbers and nothing else ("2.4.1"; not "1.2" or "1.2.3-beta").
[[nodiscard]] bool isThreePartVersion(std::string_view version);

} // namespace zevra
