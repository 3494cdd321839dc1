#include "app/app_delegate.h"

#include "app/document_service.h"
#include "app/download_services.h"
#include "app/floater_windows.h"
#include "app/launch_environment.h"
#include "app/local_server_unavailable_page.h"
#include "app/main_menu.h"
#include "app/production_services.h"
#include "app/safe_start_page.h"
#include "app/update_services.h"
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
#include "server/first_party_hosts.h"
#include "server/launch_key.h"
#include "server/local_server.h"
#include "webshell/auth_message_handler.h"
#include "webshell/browser_auth_message_handler.h"
#include "webshell/download_hook_script.h"
#include "webshell/main_web_view_delegate.h"
#include "webshell/theme_colour.h"
#include "webshell/web_nav_delegate.h"
#include "webshell/web_ui_delegate.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace zevra {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::seconds firstLoadTimeout = 60s;
constexpr std::chrono::milliseconds silentAppUpdateCheckDelay = 2000ms;
constexpr std::chrono::milliseconds extensionUpdateNoticeDelay = 5000ms;

} // namespace

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
    const auto mainQueue = [this](std::function<void()> work) {
        application_.postToMain(std::move(work));
    };
    downloads_ = std::make_unique<DownloadServices>(application_, downloadsFolder(), systemClock(),
                                                    processSystemLog(), processWorkspace());
    floaters_ = std::make_unique<ApplicationFloaters>(
        application_, systemClock(), nativeAppRoutedURL,
        developerExtrasEnabled(std::getenv("ZEVRA_DEVTOOLS")), downloads_->engineDownloads());
    uiDelegate_ = std::make_unique<WebUIDelegate>(floaters_->registry(), mainQueue);
    webViewDelegate_->setDownloadDelegate(&downloads_->engineDownloads());
    webViewDelegate_->setUIDelegate(uiDelegate_.get());
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    beginLaunch();
    const bool listening = startLocalServer();
    std::error_code ignored;
    std::filesystem::create_directories(downloadsFolder(), ignored);
    registerScriptMessageHandlers();
    installNavigationDelegate();
    MainWindowDescription window = mainWindowDescription();
    window.webView = mainWebViewConfiguration();
    webView_ = &application_.showMainWindow(window, *webViewDelegate_);
    loadFirstPage(listening);
    startHealthChecks();
    observeRestoreRequests();
    restoreMainWindow();
    // After the restore's second step, which fronts the main window: documents handed over
    // at launch open on top of it.
    application_.postToMain([this] { documents_->finishLaunching(); });
    updates_ = std::make_unique<UpdateServices>(
        application_,
        [session = session_]() -> std::optional<std::string> {
            return session ? session->currentToken() : std::nullopt;
        },
        [this] { application_.quit(); });
    installMainMenu();
    scheduleUpdateChecks();
}

void AppDelegate::applicationWillTerminate() {
    healthTimer_.reset();
    appUpdateCheckTimer_.reset();
    extensionUpdateCheckTimer_.reset();
    // Transfers in flight give up rather than hold the exit.
    updates_.reset();
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
    if (std::this_thread::get_id() == mainThread_) {
        application_.restoreMainWindow();
    } else {
        application_.postToMain([this] { application_.restoreMainWindow(); });
    }
    // Once more on the next turn, after whatever else this turn shows.
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
    loadShellPage(*webView_, URLRequest{std::string(shellPageURL), false, firstLoadTimeout});
}

void AppDelegate::loadShellPage(WebView& view, const URLRequest& request) {
    if (reliability_->isSafeStart()) {
        view.loadHTML(safeStartPage(config::ReleaseHost), std::string(shellPageURL));
        return;
    }
    view.loadRequest(request);
}

void AppDelegate::loadFirstPage(bool serverListening) {
    if (reliability_->isSafeStart()) {
        loadShellPage();
        return;
    }
    if (!serverListening) {
        // Whatever holds the address is not ours; its page must not become the shell. The
        // health check loads the shell once our server listens.
        webView_->loadHTML(localServerUnavailablePage(), "");
        return;
    }
    webView_->loadRequest(
        URLRequest{firstPageURL(std::getenv("ZEVRA_INITIAL_URL")), false, firstLoadTimeout});
}

WebViewConfiguration AppDelegate::mainWebViewConfiguration() const {
    WebViewConfiguration configuration;
    configuration.developerExtras = developerExtrasEnabled(std::getenv("ZEVRA_DEVTOOLS"));
    configuration.mediaPlaybackRequiresUserGesture = false;
    configuration.removeCachedWebsiteData = true;
    configuration.scriptMessageHandlers = webViewDelegate_->scriptMessageHandlerNames();
    configuration.userScripts.push_back(
        {std::string(downloadHookScript()), UserScriptInjectionTime::DocumentStart});
    configuration.cookies.push_back({std::string(launchKeyCookieName), launchKey_, "127.0.0.1"});
    return configuration;
}

void AppDelegate::registerScriptMessageHandlers() {
    const auto listening = [this] { return localServerIsListening(); };
    authHandler_ = std::make_unique<AuthMessageHandler>(session_, processSystemLog(), listening);
    browserAuthHandler_ = std::make_unique<BrowserAuthMessageHandler>(
        session_, processWorkspace(),
        [this](std::function<void()> work) { application_.postToMain(std::move(work)); },
        listening);
    // The colour applies on a later turn; a window that is gone by then takes nothing.
    webViewDelegate_->addScriptMessageHandler("themeChange", [this](const ScriptMessage& message) {
        if (auto colour = themeColour(message.body)) {
            application_.postToMain([this, colour = std::move(*colour)] {
                application_.setMainWindowBackgroundColor(colour);
            });
        }
    });
    webViewDelegate_->addScriptMessageHandler(
        "zevraDownload",
        [this](const ScriptMessage& message) { downloads_->messages().receive(message.body); });
    webViewDelegate_->addScriptMessageHandler("zevraAuth", [this](const ScriptMessage& message) {
        authHandler_->receive(message.body, message.frameOrigin);
    });
    webViewDelegate_->addScriptMessageHandler(
        "zevraBeginAuth", [this](const ScriptMessage& message) {
            browserAuthHandler_->receive(message.body, message.frameOrigin);
        });
    webViewDelegate_->addScriptMessageHandler("zevraFloater", [this](const ScriptMessage& message) {
        floaters_->messages().receive(message.body);
    });
}

void AppDelegate::installNavigationDelegate() {
    WebNavServices services{
        .clock = systemClock(),
        .runLater =
            [this](std::chrono::milliseconds delay, std::function<void()> work) {
                return application_.scheduleTimer(delay, false, std::move(work));
            },
        .record = [this](std::string_view kind,
                         std::string_view detail) { reliability_->journal().record(kind, detail); },
        .openInBrowser = [](const std::string& url) { processWorkspace().openURL(url); },
        .saveDataURL =
            [this](const DataURLDownload& download) { downloads_->saveDataURL(download); },
        .loadShellPage = [this](WebView& view,
                                const URLRequest& request) { loadShellPage(view, request); },
    };
    webViewDelegate_->setNavigationDelegate(std::make_unique<WebNavDelegate>(
        std::move(services), NavigationHosts{config::SiteHost, config::PartnerAuthHost}));
}

void AppDelegate::observeRestoreRequests() {
    restoreListener_ =
        RestoreChannelListener::start(restoreChannelPath(), [this](const RestoreRequest& request) {
            application_.postToMain([this, request] {
                restoreMainWindow();
                if (request.documentPaths.empty()) {
                    return;
                }
                // After the restore's second step, so the documents come out on top.
                application_.postToMain([this, paths = request.documentPaths] {
                    // Unsupported files open nothing; the sender has already gone.
                    static_cast<void>(documents_->receiveDocuments(paths));
                });
            });
        });
}

void AppDelegate::installMainMenu() {
    application_.setMainMenu(mainMenu({
        .evaluate = [this](const std::string& snippet) { evaluateInMainWebView(snippet); },
        .checkForUpdates = [this] { checkForAppUpdates(false); },
        .updateExtensionFolder = [this] { checkForExtensionUpdates(false); },
        .find = [this] { menuFind(); },
    }));
}

void AppDelegate::menuFind() {
    if (webView_ == nullptr) {
        return;
    }
    webView_->evaluateCondition(pageHasSearchCondition, [this](bool pageHasSearch) {
        if (pageHasSearch) {
            webView_->evaluateScript(findSnippet);
            return;
        }
        webView_->showFindBar();
    });
}

void AppDelegate::scheduleUpdateChecks() {
    appUpdateCheckTimer_ = application_.scheduleTimer(silentAppUpdateCheckDelay, false,
                                                      [this] { checkForAppUpdates(true); });
    extensionUpdateCheckTimer_ = application_.scheduleTimer(
        extensionUpdateNoticeDelay, false, [this] { checkForExtensionUpdates(true); });
}

void AppDelegate::checkForAppUpdates(bool silent) {
    if (updates_) {
        updates_->checkForAppUpdates(silent);
    }
}

void AppDelegate::checkForExtensionUpdates(bool silent) {
    if (updates_) {
        updates_->checkForExtensionUpdates(silent);
    }
}

void AppDelegate::evaluateInMainWebView(const std::string& snippet) {
    if (webView_ != nullptr) {
        webView_->evaluateScript(snippet);
    }
}

} // namespace zevra
