#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zevra {

// What a verifier switch prints on standard output and the process's exit code.
struct ReleaseVerifierOutcome {
    std::string standardOutput;
    int exitCode;
};

// The outcome of the command line's verifier switch; nothing when the command line is not one
// of them exactly (element 0 is the program path).
[[nodiscard]] std::optional<ReleaseVerifierOutcome>
releaseVerifierOutcome(const std::vector<std::string>& arguments);

// Runs a verifier switch and exits the process; returns when the command line holds none.
void runReleaseVerifierCommandIfPresent(const std::vector<std::string>& arguments);

} // namespace zevra
