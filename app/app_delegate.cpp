#include "app/app_delegate.h"

#include "app/document_service.h"
#include "app/local_server_unavailable_page.h"
#include "app/production_services.h"
#include "auth/browser_session.h"
#include "base/shell_address.h"
#include "platform/paths.h"
#include "platform/system_log.h"
#include "platform/workspace.h"
#include "server/local_server.h"
#include "webshell/auth_message_handler.h"
#include "webshell/browser_auth_message_handler.h"
#include "webshell/main_web_view_delegate.h"

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
    return window;
}

AppDelegate::AppDelegate(Application& application, std::filesystem::path resourcesPath)
    : application_(application), resourcesPath_(std::move(resourcesPath)),
      webViewDelegate_(std::make_unique<MainWebViewDelegate>()),
      documents_(std::make_unique<DocumentService>(application)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    const bool listening = startLocalServer();
    std::error_code ignored;
    std::filesystem::create_directories(downloadsFolder(), ignored);
    registerScriptMessageHandlers();
    MainWindowDescription window = mainWindowDescription();
    window.webView.scriptMessageHandlers = webViewDelegate_->scriptMessageHandlerNames();
    WebView& view = application_.showMainWindow(window, *webViewDelegate_);
    if (listening) {
        view.loadURL(std::string(shellPageURL));
    } else {
        // Whatever holds the address is not ours; its page must not become the shell.
        view.loadHTML(localServerUnavailablePage(), "");
    }
    observeRestoreRequests();
    documents_->finishLaunching();
    restoreMainWindow();
}

void AppDelegate::applicationWillTerminate() {
    restoreListener_.reset();
    if (server_) {
        server_->stop();
    }
    // Background work still queued finishes before the services it uses go away.
    executor_.shutdown();
}

void AppDelegate::restoreMainWindow() {
    application_.postToMain([this] { application_.restoreMainWindow(); });
}

bool AppDelegate::receiveDocuments(const std::vector<std::string>& paths) {
    return documents_->receiveDocuments(paths);
}

bool AppDelegate::startLocalServer() {
    LocalServerOptions options = productionLocalServerOptions(
        resourcesPath_, executor_, systemClock(),
        [this](std::function<void()> work) { application_.postToMain(std::move(work)); });
    session_ = options.session;
    server_ = std::make_unique<LocalServer>(std::move(options));
    if (!server_->start()) {
        // The window still opens and says so.
        std::fputs("ZEVRA: the local server could not listen on 127.0.0.1:18484\n", stderr);
        return false;
    }
    return true;
}

bool AppDelegate::localServerIsListening() const {
    return server_ != nullptr && server_->listeningPort().has_value();
}

void AppDelegate::registerScriptMessageHandlers() {
    const auto listening = [this] { return localServerIsListening(); };
    authHandler_ = std::make_unique<AuthMessageHandler>(session_, processSystemLog(), listening);
    browserAuthHandler_ = std::make_unique<BrowserAuthMessageHandler>(
        session_, processWorkspace(),
        [this](std::function<void()> work) { application_.postToMain(std::move(work)); },
        listening);
    webViewDelegate_->addScriptMessageHandler("zevraAuth", [this](const ScriptMessage& message) {
        authHandler_->receive(message.body, message.frameOrigin);
    });
    webViewDelegate_->addScriptMessageHandler(
        "zevraBeginAuth", [this](const ScriptMessage& message) {
            browserAuthHandler_->receive(message.body, message.frameOrigin);
        });
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
