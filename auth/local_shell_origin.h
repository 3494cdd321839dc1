#pragma once

#include <string_view>

namespace zevra {

// True exactly when the frame that sent a script message has the local shell's origin: scheme
// "http", host "127.0.0.1" or "localhost", port 18484. `origin` is the frame's serialised
// origin (`location.origin`), which always spells out this non-default port.
[[nodiscard]] bool messageIsFromLocalShell(std::string_view origin);

} // namespace zevra
