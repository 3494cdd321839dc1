#pragma once

#include "base/unique_fd.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zevra::testing {

struct ProcessResult {
    int exitCode = -1; // -1 when killed by a signal or not started
    std::string standardOutput;
    std::string standardError;
};

struct ProcessOptions {
    std::vector<std::string> environment; // "NAME=value" added to (or replacing in) ours
    std::vector<std::string> unsetEnvironment;
    std::optional<std::string> standardInput;
    std::chrono::seconds timeout{60};
};

// Runs a program to its end and collects its output; kills it after the timeout.
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// A program started in the background in its own process group, which is killed (SIGKILL) when
// this goes. Its output goes to files in memory, so children it leaves behind cannot block us.
class BackgroundProcess {
public:
    BackgroundProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~BackgroundProcess();

    [[nodiscard]] int pid() const { return pid_; }
    // Waits for the end; empty when it is still running after `timeout`.
    std::optional<ProcessResult> wait(std::chrono::milliseconds timeout);
    void kill(int signal);
    std::string standardErrorSoFar() const;

private:
    int pid_ = -1;
    bool reaped_ = false;
    int status_ = -1;
    UniqueFd output_;
    UniqueFd error_;
};

} // namespace zevra::testing
