#pragma once

#include "platform/clock.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zevra {

// Longest a listing tool may run before it is killed.
inline constexpr std::chrono::seconds processOutputTimeLimit{60};

// Where a tool finds the file shared with it: the descriptor is handed down as number 3, so
// the tool opens exactly that file, whatever its name, and never sees the name as a pattern.
inline constexpr const char* sharedFilePath = "/dev/fd/3";

struct BoundedProcessResult {
    int exitStatus = 0; // 128 + the signal's number when a signal ended it
    std::string output;
};

// Runs the tool as below and returns its exit status and raw output whatever the status; nothing
// when it cannot start, writes more than `maxBytes` or runs over `timeLimit`.
[[nodiscard]] std::optional<BoundedProcessResult>
runBoundedProcess(const std::string& executable, const std::vector<std::string>& arguments,
                  std::int64_t maxBytes, std::chrono::milliseconds timeLimit, const Clock& clock,
                  std::optional<int> sharedFile = {});

// Runs the tool at the absolute path `executable` with `arguments`, standard error to the null
// device, and returns its standard output as UTF-8 text. Nothing when it cannot start, exits
// other than with status 0, writes more than `maxBytes` (it is killed at once) or is still
// running after `timeLimit` by `clock` (killed too), or when the output is not UTF-8.
// `sharedFile`, when given, is open in the tool as `sharedFilePath`; no other descriptor of
// ours is.
[[nodiscard]] std::optional<std::string>
boundedProcessOutput(const std::string& executable, const std::vector<std::string>& arguments,
                     std::int64_t maxBytes,
                     std::chrono::milliseconds timeLimit = processOutputTimeLimit,
                     const Clock& clock = systemClock(), std::optional<int> sharedFile = {});

} // namespace zevra
