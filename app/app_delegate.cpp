#include "app/app_delegate.h"

#include "app/document_service.h"
#include "app/local_server_unavailable_page.h"
#include "app/production_services.h"
#include "app/safe_start_page.h"
#include "auth/browser_session.h"
#include "base/shell_address.h"
#include "build_config.h"
#include "platform/paths.h"
#include "platform/secure_random.h"
#include "platform/system_log.h"
#include "platform/workspace.h"
#include "reliability/crash_watchdog.h"
#include "reliability/health_probe.h"
#include "reliability/local_shell_health.h"
#include "reliability/reliability_state.h"
#include "server/launch_key.h"
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
      documents_(std::make_unique<DocumentService>(application)),
      reliability_(productionReliabilityState()),
      launchInstance_(makeLaunchInstance(processSecureRandom())),
      launchKey_(makeLaunchKey(processSecureRandom()).value_or("")), healthHttp_(makeHttpClient()) {
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    beginLaunch();
    const bool listening = startLocalServer();
    std::error_code ignored;
    std::filesystem::create_directories(downloadsFolder(), ignored);
    registerScriptMessageHandlers();
    MainWindowDescription window = mainWindowDescription();
    window.webView.scriptMessageHandlers = webViewDelegate_->scriptMessageHandlerNames();
    window.webView.cookies.push_back({std::string(launchKeyCookieName), launchKey_, "127.0.0.1"});
    webView_ = &application_.showMainWindow(window, *webViewDelegate_);
    if (listening || reliability_->isSafeStart()) {
        loadShellPage();
    } else {
        // Whatever holds the address is not ours; its page must not become the shell. The
        // health check loads the shell once our server listens.
        webView_->loadHTML(localServerUnavailablePage(), "");
    }
    startHealthChecks();
    observeRestoreRequests();
    documents_->finishLaunching();
    restoreMainWindow();
}

void AppDelegate::applicationWillTerminate() {
    healthTimer_.reset();
    if (server_) {
        server_->stop();
    }
    // After the socket is closed: a clean receipt means nothing of this run still answers.
    reliability_->markClean();
    restoreListener_.reset();
    // Background work still queued finishes before the services it uses go away.
    executor_.shutdown();
}

void AppDelegate::restoreMainWindow() {
    application_.postToMain([this] { application_.restoreMainWindow(); });
}

bool AppDelegate::receiveDocuments(const std::vector<std::string>& paths) {
    return documents_->receiveDocuments(paths);
}

void AppDelegate::beginLaunch() {
    reliability_->beginLaunch();
    if (reliability_->isSafeStart()) {
        const auto count = std::to_string(reliability_->consecutiveUncleanLaunches());
        reliability_->journal().record(crashLoopSafeStartEvent, "Entered safe start after " +
                                                                    count + " rapid unclean exits");
        std::fputs(("ZEVRA: safe start after " + count + " rapid unclean exits\n").c_str(), stderr);
    }
    // Resources sit in the bundle's Contents folder.
    static_cast<void>(startCrashWatchdog(*reliability_, resourcesPath_,
                                         resourcesPath_.parent_path().parent_path()));
}

bool AppDelegate::startLocalServer() {
    LocalServerOptions options = productionLocalServerOptions(
        resourcesPath_, executor_, systemClock(),
        [this](std::function<void()> work) { application_.postToMain(std::move(work)); });
    options.instance = launchInstance_;
    options.launchKey = launchKey_;
    if (launchKey_.empty() || !writeLaunchKeyFile(launchKeyFile(runtimeFolder()), launchKey_)) {
        std::fputs("ZEVRA: the launch key file could not be written\n", stderr);
    }
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

void AppDelegate::startHealthChecks() {
    health_ = std::make_shared<LocalShellHealth>(LocalShellHealthServices{
        .serverIsListening = [this] { return localServerIsListening(); },
        // A socket the server still holds without an address any more is retired first.
        .startServer =
            [this] {
                server_->stop();
                return server_->start();
            },
        .stopServer = [this] { server_->stop(); },
        .probe = [this](std::function<void(bool)> done) { probeLocalServer(std::move(done)); },
        .reloadShellPage = [this] { loadShellPage(); },
    });
    healthTimer_ = application_.scheduleTimer(healthCheckInterval, true,
                                              [this] { health_->checkLocalShellHealth(); });
}

void AppDelegate::probeLocalServer(std::function<void(bool)> done) {
    const auto port = server_->listeningPort();
    if (!port) {
        done(false);
        return;
    }
    auto probe = [this, request = healthProbeRequest(*port), done]() {
        const bool healthy = healthProbeIsHealthy(healthHttp_->send(request), launchInstance_);
        application_.postToMain([done, healthy] { done(healthy); });
    };
    if (!executor_.post(std::move(probe))) {
        done(false);
    }
}

void AppDelegate::loadShellPage() {
    if (reliability_->isSafeStart()) {
        webView_->loadHTML(safeStartPage(config::ReleaseHost), std::string(shellPageURL));
        return;
    }
    webView_->loadURL(std::string(shellPageURL));
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
