#pragma once

#include <string>
#include <vector>

namespace zevra {

// Asks the running copy to bring back its main window and open `documentPaths` (absolute).
// Returns whether a running copy took the request; the caller exits either way.
bool activateExistingZevraApplication(const std::vector<std::string>& documentPaths);

} // namespace zevra
