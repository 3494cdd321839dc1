#include "platform/detached_process.h"

#include "base/spawn_handles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace zevra {

bool startDetachedProgram(const std::vector<std::string>& argv) {
    std::vector<std::string> shell = {
        "/bin/sh", "-c",
        "command -v \"$1\" >/dev/null || exit 127; \"$@\" >/dev/null 2>&1 </dev/null &", "sh"};
    shell.insert(shell.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (auto& a : shell) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    SpawnFileActions actions;
    posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
    // We ignore SIGPIPE; a program started from here must not inherit that.
    SpawnAttributes attributes;
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], actions.get(), attributes.get(), args.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace zevra
