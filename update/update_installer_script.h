#pragma once

#include <string_view>

namespace zevra {

// The bash script that replaces the application after it has quit. Arguments: the saved
// archive, the application bundle path, the expected version, the old process id, and
// "launch" or "no-open". Exit statuses: 0 installed, 1 archive missing or without "ZEVRA.app",
// 2 target is not a "ZEVRA.app" path, 3 version, 4 identifier, 6 build number, 7 architecture
// mismatch, 5 swap or start failed (previous version restored when possible), 8 extra
// top-level item, 9 symbolic link, 10 special file, 11 bad arguments, 12 staging name taken,
// 13 old process still running after 20 seconds; otherwise the status of a failing tool.
extern const std::string_view hardenedUpdateInstallerScript;

} // namespace zevra
