#include "platform/workspace.h"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>
#include <vector>

extern char** environ;

namespace zevra {
namespace {

// Starts a program detached from us; a helper thread reaps it so no zombie is left.
bool spawnDetached(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return false;
    }
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
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
