#pragma once

#include <string>
#include <vector>

namespace zevra {

// Starts a program (a path, or a name looked up in PATH) that outlives us: a shell puts it in
// the background and ends at once, so nothing is left to reap and the program is adopted by
// init. It runs in a session of its own with default signal handling, the null device for its
// standard streams and none of our other descriptors. False when it could not be started.
[[nodiscard]] bool startDetachedProgram(const std::vector<std::string>& argv);

} // namespace zevra
