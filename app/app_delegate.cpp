#include "app/app_delegate.h"
#include "app/document_service.h"
#include "platform/paths.h"
#include "server/local_server.h"

#include <cstdio>
#include <system_error>

namespace zevra {

MainWindowDescription mainWindowDescription() {
    MainWindowDescription window;
    window.title = "ZEVRA";
    window.width = 1200;
    window.height = 800;
    window.minimumWidth = 800;
    window.minimumHeight = 500;
    window.backgroundColor = "#c0c0c0";
    window.initialURL = "http://127.0.0.1:18484/index.html";
    return window;
}

AppDelegate::AppDelegate(Application& application, std::filesystem::path resourcesPath)
    : application_(application), resourcesPath_(std::move(resourcesPath)),
      documents_(std::make_unique<DocumentService>(application)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    startLocalServer();
    std::error_code ignored;
    std::filesystem::create_directories(downloadsFolder(), ignored);
    application_.showMainWindow(mainWindowDescription());
    observeRestoreRequests();
    documents_->finishLaunching();
    restoreMainWindow();
}

void AppDelegate::applicationWillTerminate() {
    restoreListener_.reset();
    if (server_) {
        server_->stop();
    }
}

void AppDelegate::restoreMainWindow() {
    application_.postToMain([this] { application_.restoreMainWindow(); });
}

bool AppDelegate::receiveDocuments(const std::vector<std::string>& paths) {
    return documents_->receiveDocuments(paths);
}

void AppDelegate::startLocalServer() {
    LocalServerOptions options;
    options.resourcesPath = resourcesPath_;
    server_ = std::make_unique<LocalServer>(std::move(options));
    if (!server_->start()) {
        // The health check retries later; the window still opens and shows the failure.
        std::fputs("ZEVRA: the local server could not listen on 127.0.0.1:18484\n", stderr);
    }
}

void AppDelegate::observeRestoreRequests() {
    restoreListener_ =
        RestoreChannelListener::start(restoreChannelPath(), [this](const RestoreRequest& request) {
            application_.postToMain([this, request] {
                application_.restoreMainWindow();
                if (!request.documentPaths.empty()) {
                    // Unsupported files open nothing; the sender has already gone.
                    static_cast<void>(documents_->receiveDocuments(request.documentPaths));
                }
            });
        });
}

} // namespace zevra
