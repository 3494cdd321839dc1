#pragma once

#include <filesystem>

namespace zevra {

class ReliabilityState;

// "zevra-watchdog.sh" in the resources folder.
[[nodiscard]] std::filesystem::path watchdogScriptPath(const std::filesystem::path& resourcesPath);

// Launches "/bin/sh SCRIPT BUNDLE PID MARKER" and leaves it to run on its own: it relaunches the
// app once if this process ends while its marker still exists. Launches nothing in safe start
// (which is what bounds a crash loop), before the marker exists, or when the script is not an
// executable file. True when the watchdog was started.
[[nodiscard]] bool startCrashWatchdog(const ReliabilityState& reliability,
                                      const std::filesystem::path& resourcesPath,
                                      const std::filesystem::path& bundlePath);

} // namespace zevra
