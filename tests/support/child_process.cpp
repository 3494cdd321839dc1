#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace zevra::testing {
namespace {

std::vector<std::string> mergedEnvironment(const ProcessOptions& options) {
    std::vector<std::string> result;
    auto overridden = [&](const std::string& entry) {
        const auto name = entry.substr(0, entry.find('='));
        for (const auto& unset : options.unsetEnvironment) {
            if (unset == name) {
                return true;
            }
        }
        for (const auto& added : options.environment) {
            if (added.substr(0, added.find('=')) == name) {
                return true;
            }
        }
        return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!overridden(*entry)) {
            result.emplace_back(*entry);
        }
    }
    result.insert(result.end(), options.environment.begin(), options.environment.end());
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

// Reads what is there without blocking; the descriptor becomes -1 at end of stream.
void appendAvailable(int& fd, std::string& into) {
    char buffer[65536];
    while (fd >= 0) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            close(fd);
            fd = -1;
        }
        return;
    }
}

ProcessResult resultFromStatus(int status) {
    ProcessResult result;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

} // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const ProcessOptions& options) {
    int out[2];
    int err[2];
    int in[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    auto args = argv;
    auto env = mergedEnvironment(options);
    auto argPointers = pointers(args);
    auto envPointers = pointers(env);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        setpgid(0, 0);
        execve(argPointers[0], argPointers.data(), envPointers.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    close(in[0]);
    if (options.standardInput) {
        const std::string& data = *options.standardInput;
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = write(in[1], data.data() + done, data.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    close(in[1]);
    outputPipe_ = out[0];
    errorPipe_ = err[0];
    fcntl(outputPipe_, F_SETFL, O_NONBLOCK);
    fcntl(errorPipe_, F_SETFL, O_NONBLOCK);
}

BackgroundProcess::~BackgroundProcess() {
    if (!reaped_ && pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (outputPipe_ >= 0) {
        close(outputPipe_);
    }
    if (errorPipe_ >= 0) {
        close(errorPipe_);
    }
}

void BackgroundProcess::drain() {
    appendAvailable(outputPipe_, output_);
    appendAvailable(errorPipe_, error_);
}

std::string BackgroundProcess::standardErrorSoFar() {
    drain();
    return error_;
}

void BackgroundProcess::kill(int signal) {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, signal);
    }
}

std::optional<ProcessResult> BackgroundProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        drain();
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            // Output written just before the exit may still be in the pipes; a grandchild
            // holding them open must not keep us here.
            const auto drainDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while ((outputPipe_ >= 0 || errorPipe_ >= 0) &&
                   std::chrono::steady_clock::now() < drainDeadline) {
                pollfd fds[2] = {{outputPipe_, POLLIN, 0}, {errorPipe_, POLLIN, 0}};
                if (poll(fds, 2, 50) <= 0) {
                    break;
                }
                drain();
            }
            auto result = resultFromStatus(status);
            result.standardOutput = output_;
            result.standardError = error_;
            return result;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        pollfd fds[2] = {{outputPipe_, POLLIN, 0}, {errorPipe_, POLLIN, 0}};
        if (poll(fds, 2, 10) <= 0 || (outputPipe_ < 0 && errorPipe_ < 0)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    BackgroundProcess process(argv, options);
    if (auto result = process.wait(options.timeout)) {
        return *result;
    }
    process.kill(SIGKILL);
    auto result = process.wait(std::chrono::seconds(5)).value_or(ProcessResult{});
    result.exitCode = -1;
    return result;
}

} // namespace zevra::testing
