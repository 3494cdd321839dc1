#pragma once

#include <functional>
#include <string_view>

namespace zevra {

// True exactly when the frame that sent a script message has the local shell's origin: scheme
// "http", host "127.0.0.1" or "localhost", port 18484. `origin` is the frame's serialised
// security origin, which always spells out this non-default port.
[[nodiscard]] bool messageIsFromLocalShell(std::string_view origin);

// Whether our own loopback server holds the shell's address right now. While it does not,
// whatever answers there (another local user's server, say) is not our shell, and a page with
// the shell's origin was not served by us.
using LocalServerListening = std::function<bool()>;

} // namespace zevra
