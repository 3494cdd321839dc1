#pragma once

#include "base/background_executor.h"
#include "platform/application.h"
#include "platform/http_client.h"
#include "platform/restore_channel.h"

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zevra {

class LocalServer;
class BrowserSession;
class DocumentService;
class MainWebViewDelegate;
class AuthMessageHandler;
class BrowserAuthMessageHandler;
class ReliabilityState;
class DownloadServices;
class ApplicationFloaters;
class WebUIDelegate;
class LocalShellHealth;
class UpdateServices;
struct URLRequest;

// The one application delegate: runs start-up on the main thread and composes the services
// (launch bookkeeping, loopback server and its health check, sign-in session, web-view delegate,
// documents, restore hooks) rather than doing their work itself.
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
    // The background queue of the whole app; declared first so it outlives what it runs for.
    BackgroundExecutor executor_{4};
    std::shared_ptr<BrowserSession> session_;
    std::unique_ptr<LocalServer> server_;
    std::unique_ptr<AuthMessageHandler> authHandler_;
    std::unique_ptr<BrowserAuthMessageHandler> browserAuthHandler_;
    std::unique_ptr<MainWebViewDelegate> webViewDelegate_;
    std::unique_ptr<DocumentService> documents_;
    std::unique_ptr<DownloadServices> downloads_;
    std::unique_ptr<ApplicationFloaters> floaters_;
    std::unique_ptr<WebUIDelegate> uiDelegate_;
    std::unique_ptr<RestoreChannelListener> restoreListener_;
    std::unique_ptr<ReliabilityState> reliability_;
    // Names this launch in "/health", so the health check knows its own server's answers.
    const std::string launchInstance_;
    // Opens the loopback API to the app's own views (a cookie) and the user's tools (a file);
    // empty when no key could be drawn, which keeps the guarded routes closed.
    const std::string launchKey_;
    const std::shared_ptr<HttpClient> healthHttp_;
    std::shared_ptr<LocalShellHealth> health_;
    std::unique_ptr<MainThreadTimer> healthTimer_;
    // The app and extension update flows, with their own transfer threads.
    std::unique_ptr<UpdateServices> updates_;
    std::unique_ptr<MainThreadTimer> appUpdateCheckTimer_;
    std::unique_ptr<MainThreadTimer> extensionUpdateCheckTimer_;
    WebView* webView_ = nullptr; // the main window's, once it exists
    // The thread that made the delegate, which runs the event loop.
    const std::thread::id mainThread_ = std::this_thread::get_id();

    // The crash-loop decision of this launch and the watchdog, before the server starts.
    void beginLaunch();
    [[nodiscard]] bool startLocalServer();
    [[nodiscard]] bool localServerIsListening() const;
    void startHealthChecks();
    void probeLocalServer(std::function<void(bool)> done);
    // The shell page, or in safe start the safe-start page, which nothing leaves but its button.
    void loadShellPage();
    void loadShellPage(WebView& view, const URLRequest& request);
    void loadFirstPage(bool serverListening);
    void registerScriptMessageHandlers();
    void installNavigationDelegate();
    [[nodiscard]] WebViewConfiguration mainWebViewConfiguration() const;
    void observeRestoreRequests();
    void installMainMenu();
    void menuFind();
    void scheduleUpdateChecks();
    void checkForAppUpdates(bool silent);
    void checkForExtensionUpdates(bool silent);
    void evaluateInMainWebView(const std::string& snippet);
};

// The main window: title, size, minimum size and background; its web view's script handlers
// are added by the delegate.
MainWindowDescription mainWindowDescription();

} // namespace zevra
