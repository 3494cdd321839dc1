#include "platform/workspace.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace zevra {
namespace {

// Starts a program that outlives the call without a thread to reap it: a shell puts the program
// in the background and ends at once, so waiting for the shell is short and leaves no zombie
// (the program itself is adopted by init).
bool spawnDetached(const std::vector<std::string>& argv) {
    // A program missing from PATH fails the call, so the caller can try another.
    std::vector<std::string> shell = {
        "/bin/sh", "-c",
        "command -v \"$1\" >/dev/null || exit 127; \"$@\" >/dev/null 2>&1 </dev/null &", "sh"};
    shell.insert(shell.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (auto& a : shell) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class XdgWorkspace final : public Workspace {
public:
    bool openURL(const std::string& url) override { return spawnDetached({"xdg-open", url}); }
    void revealFolder(const std::string& path) override {
        // The FileManager1 interface selects the folder where a file manager offers it.
        const std::string uri = "file://" + path;
        if (spawnDetached({"gdbus", "call", "--session", "--dest", "org.freedesktop.FileManager1",
                           "--object-path", "/org/freedesktop/FileManager1", "--method",
                           "org.freedesktop.FileManager1.ShowFolders", "['" + uri + "']", ""})) {
            return;
        }
        spawnDetached({"xdg-open", path});
    }
};

} // namespace

Workspace& processWorkspace() {
    static XdgWorkspace workspace;
    return workspace;
}

} // namespace zevra
