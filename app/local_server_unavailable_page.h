#pragma once

#include <string>

namespace zevra {

// The built-in page the main window shows instead of the shell when our own loopback server
// could not take 127.0.0.1:18484: whatever answers there is not ours, so nothing is loaded
// from it.
[[nodiscard]] std::string localServerUnavailablePage();

} // namespace zevra
