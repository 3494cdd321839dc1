#pragma once

#include "platform/application.h"
#include "platform/restore_channel.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zevra {

class LocalServer;
class DocumentService;

// The one application delegate: runs start-up on the main thread and composes the services
// (loopback server, documents, restore hooks) rather than doing their work itself.
class AppDelegate {
public:
    AppDelegate(Application& application, std::filesystem::path resourcesPath);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    // Safe from any thread.
    void restoreMainWindow();
    // Documents handed to the application (command line or a second copy).
    [[nodiscard]] bool receiveDocuments(const std::vector<std::string>& paths);

private:
    Application& application_;
    const std::filesystem::path resourcesPath_;
    std::unique_ptr<LocalServer> server_;
    std::unique_ptr<DocumentService> documents_;
    std::unique_ptr<RestoreChannelListener> restoreListener_;

    void startLocalServer();
    void observeRestoreRequests();
};

// The main window: title, size, minimum size, background and first page.
MainWindowDescription mainWindowDescription();

} // namespace zevra
