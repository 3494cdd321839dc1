#include "support/child_process.h"

#include "base/descriptor_io.h"
#include "support/temporary_folder.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>

#include <algorithm>
#include <thread>

namespace zevra::testing {
namespace {

UniqueFd memoryFile(std::string_view contents = {}) {
    UniqueFd fd(memfd_create("zevra-test", MFD_CLOEXEC));
    if (!writeAll(fd.get(), contents) || lseek(fd.get(), 0, SEEK_SET) != 0) {
        fd.reset();
    }
    return fd;
}

std::string contents(const UniqueFd& fd) {
    return readFile("/proc/self/fd/" + std::to_string(fd.get()));
}

} // namespace

// env(1) sets the environment and then becomes the program, keeping the process id.
BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const ProcessOptions& options)
    : output_(memoryFile()), error_(memoryFile()) {
    std::vector<std::string> command{"/usr/bin/env"};
    for (const auto& name : options.unsetEnvironment) {
        command.insert(command.end(), {"-u", name});
    }
    command.insert(command.end(), options.environment.begin(), options.environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    std::vector<char*> pointers(command.size() + 1, nullptr); // ends with the null execv needs
    std::transform(command.begin(), command.end(), pointers.begin(),
                   [](std::string& word) { return word.data(); });
    const UniqueFd input = memoryFile(options.standardInput.value_or(""));
    pid_ = fork();
    if (pid_ == 0) {
        dup2(input.get(), 0);
        dup2(output_.get(), 1);
        dup2(error_.get(), 2);
        setpgid(0, 0);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    reaped_ = pid_ < 0; // never started: exit code -1
}

BackgroundProcess::~BackgroundProcess() {
    if (!reaped_) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string BackgroundProcess::standardErrorSoFar() const {
    return contents(error_);
}

void BackgroundProcess::kill(int signal) {
    if (!reaped_) {
        ::kill(pid_, signal);
    }
}

std::optional<ProcessResult> BackgroundProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reaped_ && waitpid(pid_, &status_, WNOHANG) != pid_) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reaped_ = true;
    return ProcessResult{WIFEXITED(status_) ? WEXITSTATUS(status_) : -1, contents(output_),
                         contents(error_)};
}

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    BackgroundProcess process(argv, options);
    return process.wait(options.timeout)
        .value_or(ProcessResult{-1, "", process.standardErrorSoFar()});
}

} // namespace zevra::testing
