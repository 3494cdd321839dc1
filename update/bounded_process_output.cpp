#include "update/bounded_process_output.h"
#include "base/spawn_handles.h"
#include "base/unique_fd.h"

#include "base/utf8.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace zevra {
namespace {

constexpr std::chrono::milliseconds pollSlice{50};

// The tool runs in its own process group, so whatever it started goes down with it.
class ChildProcess {
public:
    explicit ChildProcess(pid_t pid) : pid_(pid) {}
    ~ChildProcess() {
        if (!reaped_) {
            killGroup();
            reapBlocking();
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void killGroup() const { kill(-pid_, SIGKILL); }

    // The exit status once the child has ended; nothing while it still runs.
    std::optional<int> poll() {
        int status = 0;
        const pid_t result = waitpid(pid_, &status, WNOHANG);
        if (result == pid_) {
            reaped_ = true;
            return status;
        }
        if (result < 0 && errno != EINTR) {
            reaped_ = true;
            return -1;
        }
        return std::nullopt;
    }

private:
    void reapBlocking() {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }

    pid_t pid_;
    bool reaped_ = false;
};

constexpr int sharedFileNumber = 3;

// The child's descriptors are set up in this order so none overwrites another still to be
// copied: the output first, then the shared file (never numbered below 4 here), then the null
// device on 0 and 2. dup2 clears close-on-exec on the copy only.
std::optional<pid_t> spawnTool(const std::string& executable,
                               const std::vector<std::string>& arguments, int outputFd,
                               const UniqueFd& sharedFd) {
    SpawnFileActions actions;
    posix_spawn_file_actions_adddup2(actions.get(), outputFd, 1);
    if (sharedFd.valid()) {
        posix_spawn_file_actions_adddup2(actions.get(), sharedFd.get(), sharedFileNumber);
    }
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
    SpawnAttributes attributes;
    posix_spawnattr_setpgroup(attributes.get(), 0);
    posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> argv{executable};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers(argv.size() + 1, nullptr);
    std::transform(argv.begin(), argv.end(), pointers.begin(),
                   [](std::string& argument) { return argument.data(); });
    pid_t pid = 0;
    if (posix_spawn(&pid, executable.c_str(), actions.get(), attributes.get(), pointers.data(),
                    environ) != 0) {
        return std::nullopt;
    }
    return pid;
}

int sliceMilliseconds(TimePoint now, TimePoint deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    return static_cast<int>(std::clamp(left, std::chrono::milliseconds{1}, pollSlice).count());
}

} // namespace

std::optional<BoundedProcessResult>
runBoundedProcess(const std::string& executable, const std::vector<std::string>& arguments,
                  std::int64_t maxBytes, std::chrono::milliseconds timeLimit, const Clock& clock,
                  std::optional<int> sharedFile) {
    UniqueFd sharedFd;
    if (sharedFile) {
        sharedFd.reset(fcntl(*sharedFile, F_DUPFD_CLOEXEC, sharedFileNumber + 1));
        if (!sharedFd.valid()) {
            return std::nullopt;
        }
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    const auto pid = spawnTool(executable, arguments, writeEnd.get(), sharedFd);
    if (!pid) {
        return std::nullopt;
    }
    ChildProcess child(*pid);
    writeEnd.reset();

    const TimePoint deadline = clock.now() + timeLimit;
    std::string output;
    char buffer[65536];
    bool endOfOutput = false;
    while (!endOfOutput) {
        const TimePoint now = clock.now();
        if (now >= deadline) {
            return std::nullopt;
        }
        pollfd watched{readEnd.get(), POLLIN, 0};
        const int ready = ::poll(&watched, 1, sliceMilliseconds(now, deadline));
        if (ready < 0 && errno != EINTR) {
            return std::nullopt;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t count = read(readEnd.get(), buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (count < 0) {
            return std::nullopt;
        }
        endOfOutput = count == 0;
        output.append(buffer, static_cast<std::size_t>(count));
        if (static_cast<std::int64_t>(output.size()) > maxBytes) {
            return std::nullopt;
        }
    }

    // The output is complete; the tool may still take a moment to exit.
    std::optional<int> status;
    while (!(status = child.poll())) {
        const TimePoint now = clock.now();
        if (now >= deadline) {
            return std::nullopt;
        }
        ::poll(nullptr, 0, std::min(sliceMilliseconds(now, deadline), 5));
    }
    if (*status < 0) {
        return std::nullopt;
    }
    const int exitStatus = WIFEXITED(*status) ? WEXITSTATUS(*status) : 128 + WTERMSIG(*status);
    return BoundedProcessResult{exitStatus, std::move(output)};
}

std::optional<std::string> boundedProcessOutput(const std::string& executable,
                                                const std::vector<std::string>& arguments,
                                                std::int64_t maxBytes,
                                                std::chrono::milliseconds timeLimit,
                                                const Clock& clock, std::optional<int> sharedFile) {
    auto result = runBoundedProcess(executable, arguments, maxBytes, timeLimit, clock, sharedFile);
    if (!result || result->exitStatus != 0 || !unicodeScalars(result->output)) {
        return std::nullopt;
    }
    return std::move(result->output);
}

} // namespace zevra
