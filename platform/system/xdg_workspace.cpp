#include "platform/workspace.h"

#include "platform/detached_process.h"

namespace zevra {
namespace {

class XdgWorkspace final : public Workspace {
public:
    bool openURL(const std::string& url) override {
        return startDetachedProgram({"xdg-open", url});
    }
    void revealFolder(const std::string& path) override {
        // The FileManager1 interface selects the folder where a file manager offers it.
        const std::string uri = "file://" + path;
        if (startDetachedProgram(
                {"gdbus", "call", "--session", "--dest", "org.freedesktop.FileManager1",
                 "--object-path", "/org/freedesktop/FileManager1", "--method",
                 "org.freedesktop.FileManager1.ShowFolders", "['" + uri + "']", ""})) {
            return;
        }
        static_cast<void>(startDetachedProgram({"xdg-open", path}));
    }
};

} // namespace

Workspace& processWorkspace() {
    static XdgWorkspace workspace;
    return workspace;
}

} // namespace zevra
