#include "reliability/crash_watchdog.h"

#include "base/spawn_handles.h"
#include "reliability/reliability_state.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

extern char** environ;

namespace zevra {
namespace {

bool isExecutableFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::filesystem::path watchdogScriptPath(const std::filesystem::path& resourcesPath) {
    return resourcesPath / "zevra-watchdog.sh";
}

bool startCrashWatchdog(const ReliabilityState& reliability,
                        const std::filesystem::path& resourcesPath,
                        const std::filesystem::path& bundlePath) {
    const auto& marker = reliability.markerURL();
    const auto script = watchdogScriptPath(resourcesPath);
    if (reliability.isSafeStart() || !marker || !isExecutableFile(script)) {
        return false;
    }
    std::vector<std::string> arguments{"/bin/sh", script.string(), bundlePath.string(),
                                       std::to_string(reliability.processIdentifier()),
                                       marker->string()};
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // It keeps our standard output and error, and nothing else of ours: an inherited descriptor
    // (the single-instance lock above all) would outlive us in it.
    SpawnFileActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
    pid_t pid = -1;
    return posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), environ) == 0;
}

} // namespace zevra
