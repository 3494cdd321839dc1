#pragma once

#include <string>

namespace zevra {

// What the desktop's workspace service does for us: default browser and file manager.
class Workspace {
public:
    virtual ~Workspace() = default;
    // Opens an http(s) URL in the user's default browser; false when no handler could be started.
    virtual bool openURL(const std::string& url) = 0;
    // Shows a folder in the file manager.
    virtual void revealFolder(const std::string& path) = 0;
};

// The desktop's own handlers (xdg-open / FileManager1).
Workspace& processWorkspace();

} // namespace zevra
