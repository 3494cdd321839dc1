#pragma once

#include <string_view>

namespace zevra {

// Added after the interceptor on the site's terminal page: a compact chat layout for the app
// window, and a chat function that talks to the assistant through the proxy.
[[nodiscard]] std::string_view terminalBlock();

} // namespace zevra
