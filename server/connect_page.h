#pragma once

#include <string_view>

namespace zevra {

// The page "/app-connect" shows in the user's browser while the browser extension completes a
// sign-in: a fixed, self-contained document.
[[nodiscard]] std::string_view connectPageHTML();

} // namespace zevra
