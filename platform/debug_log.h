#pragma once

#include <string>

namespace zevra {

// Window and page events on standard error, shown only when G_MESSAGES_DEBUG names "ZEVRA" (or
// "all"), the switch GLib uses for debug messages. End-to-end checks read them.
void debugLine(const std::string& text);

} // namespace zevra
