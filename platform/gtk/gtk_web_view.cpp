#include "platform/gtk/gtk_web_view.h"
#include "platform/debug_log.h"
#include "platform/gtk/gtk_file_chooser.h"
#include "platform/gtk/script_message_relay.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <utility>

namespace zevra {
namespace {

std::string orEmpty(const char* text) {
    return text != nullptr ? text : "";
}

NavigationAction navigationAction(WebKitNavigationPolicyDecision* decision,
                                  WebKitPolicyDecisionType type) {
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(decision);
    NavigationAction result;
    result.url = orEmpty(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
    // WebKitGTK does not say which frame a navigation targets, only whether it needs a window.
    result.target = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION
                        ? NavigationTarget::NewWindow
                        : NavigationTarget::Unknown;
    result.isUserGesture = webkit_navigation_action_is_user_gesture(action) != FALSE;
    return result;
}

NavigationResponse navigationResponse(WebKitResponsePolicyDecision* decision) {
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
    NavigationResponse result;
    result.url = orEmpty(webkit_uri_response_get_uri(response));
    result.mimeType = orEmpty(webkit_uri_response_get_mime_type(response));
    result.canShowMimeType =
        webkit_response_policy_decision_is_mime_type_supported(decision) != FALSE;
    result.isMainFrame =
        webkit_response_policy_decision_is_main_frame_main_resource(decision) != FALSE;
    if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response)) {
        result.httpStatus =
            static_cast<std::uint16_t>(webkit_uri_response_get_status_code(response));
        result.contentDisposition =
            orEmpty(soup_message_headers_get_one(headers, "Content-Disposition"));
    }
    return result;
}

gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        switch (view->delegate()->decidePolicy(
            *view, navigationResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision)))) {
        case ResponseDecision::Allow:
            webkit_policy_decision_use(decision);
            return TRUE;
        case ResponseDecision::Download:
            webkit_policy_decision_download(decision);
            return TRUE;
        case ResponseDecision::Ignore:
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
    }
    switch (view->delegate()->decidePolicy(
        *view, navigationAction(WEBKIT_NAVIGATION_POLICY_DECISION(decision), type))) {
    case NavigationDecision::Allow:
        webkit_policy_decision_use(decision);
        return TRUE;
    case NavigationDecision::Cancel:
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    return FALSE;
}

// Load outcomes are also how end-to-end checks see that a page really arrived.
// The engine ends a failed load with "finished" too; only a load that did not fail counts.
constexpr const char* loadFailedKey = "zevra-load-failed";

void onLoadChanged(WebKitWebView* webView, WebKitLoadEvent event, gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    if (event == WEBKIT_LOAD_STARTED) {
        g_object_set_data(G_OBJECT(webView), loadFailedKey, nullptr);
        return;
    }
    // The time limit is for an answer to arrive, not for every image of the page.
    if (event == WEBKIT_LOAD_COMMITTED) {
        static_cast<void>(view->endLoadTimeout());
        return;
    }
    if (event != WEBKIT_LOAD_FINISHED ||
        g_object_get_data(G_OBJECT(webView), loadFailedKey) != nullptr) {
        return;
    }
    debugLine("load finished: " + orEmpty(webkit_web_view_get_uri(webView)));
    if (view->delegate() != nullptr) {
        view->delegate()->didFinishNavigation(*view);
    }
}

NavigationFailureKind failureKind(const GError* error) {
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
        return NavigationFailureKind::Cancelled;
    }
    if (g_error_matches(error, WEBKIT_POLICY_ERROR,
                        WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)) {
        return NavigationFailureKind::InterruptedByPolicyChange;
    }
    return NavigationFailureKind::Failed;
}

gboolean onLoadFailed(WebKitWebView* webView, WebKitLoadEvent, gchar* uri, GError* error,
                      gpointer data) {
    g_object_set_data(G_OBJECT(webView), loadFailedKey, GINT_TO_POINTER(1));
    auto* view = static_cast<GtkWebView*>(data);
    NavigationFailure failure{orEmpty(uri), error != nullptr ? error->message : "",
                              failureKind(error)};
    // Our own time limit stops the load, which the engine reports as cancelled.
    if (view->endLoadTimeout()) {
        failure.description = "The request timed out.";
        failure.kind = NavigationFailureKind::Failed;
    }
    debugLine("load failed: " + failure.failingURL + ": " + failure.description);
    view->delegate()->didFailNavigation(*view, failure);
    // What a failed load shows is the delegate's call. The engine's own error page would be a
    // load of its own under the failing address, passing for that address having loaded, and
    // it would replace any page the delegate has just begun to load instead.
    return TRUE;
}

void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
    debugLine("web content process terminated");
    auto* view = static_cast<GtkWebView*>(data);
    view->delegate()->webContentProcessDidTerminate(*view);
}

GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    view->delegate()->didRequestNewWindow(
        *view, {orEmpty(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)))});
    return nullptr; // the engine opens nothing itself
}

gboolean onRunFileChooser(WebKitWebView* webView, WebKitFileChooserRequest* request,
                          gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    const OpenPanelRequest asked{webkit_file_chooser_request_get_select_multiple(request) != FALSE};
    const auto options = view->delegate()->openPanelOptions(*view, asked);
    if (!options.has_value()) {
        webkit_file_chooser_request_cancel(request);
        return TRUE;
    }
    runFileChooser(GTK_WINDOW(gtk_widget_get_toplevel(GTK_WIDGET(webView))), request, *options);
    return TRUE;
}

void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    const auto* binding = static_cast<GtkWebView::ScriptHandlerBinding*>(data);
    char* json = jsc_value_to_json(webkit_javascript_result_get_js_value(result), 0);
    if (json == nullptr) {
        return;
    }
    const auto message = scriptMessageFromRelay(binding->name, json);
    g_free(json);
    if (!message.has_value()) {
        return;
    }
    binding->view->delegate()->didReceiveScriptMessage(*binding->view, *message);
}

gboolean onDecideDestination(WebKitDownload* download, gchar* suggestedFilename, gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    const DownloadRequest request{
        orEmpty(webkit_uri_request_get_uri(webkit_download_get_request(download))),
        orEmpty(suggestedFilename)};
    const auto destination = view->delegate()->downloadDestination(*view, request);
    if (!destination.has_value()) {
        webkit_download_cancel(download);
        return TRUE;
    }
    // This API generation takes the destination as a file URI.
    char* uri = g_filename_to_uri(destination->c_str(), nullptr, nullptr);
    if (uri == nullptr) {
        webkit_download_cancel(download);
        return TRUE;
    }
    // The delegate hands over a file it created empty to claim the name.
    webkit_download_set_allow_overwrite(download, TRUE);
    webkit_download_set_destination(download, uri);
    g_free(uri);
    return TRUE;
}

void onDownloadFailed(WebKitDownload* download, GError* error, gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    g_object_set_data(G_OBJECT(download), "zevra-failed", GINT_TO_POINTER(1));
    const std::string destination = orEmpty(webkit_download_get_destination(download));
    DownloadFailure failure{{},
                            error != nullptr ? error->message : "",
                            g_error_matches(error, WEBKIT_DOWNLOAD_ERROR,
                                            WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER) != FALSE};
    // A download we cancelled ourselves (no destination) is not a failure to report.
    if (failure.cancelled && destination.empty()) {
        return;
    }
    if (char* path = g_filename_from_uri(destination.c_str(), nullptr, nullptr)) {
        failure.destination = path;
        g_free(path);
    }
    view->delegate()->downloadDidFail(*view, failure);
}

void onDownloadFinished(WebKitDownload* download, gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    const bool failed = g_object_get_data(G_OBJECT(download), "zevra-failed") != nullptr;
    const std::string destination = orEmpty(webkit_download_get_destination(download));
    view->forgetDownload(download);
    if (failed) {
        return;
    }
    char* path = g_filename_from_uri(destination.c_str(), nullptr, nullptr);
    view->delegate()->downloadDidFinish(*view, path != nullptr ? path : destination);
    g_free(path);
}

void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer data) {
    auto* view = static_cast<GtkWebView*>(data);
    // One context serves every view; each view takes only its own downloads.
    if (webkit_download_get_web_view(download) != view->webKitView()) {
        return;
    }
    debugLine("download started: " +
              orEmpty(webkit_uri_request_get_uri(webkit_download_get_request(download))));
    view->trackDownload(download);
    g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), view);
    g_signal_connect(download, "failed", G_CALLBACK(onDownloadFailed), view);
    g_signal_connect(download, "finished", G_CALLBACK(onDownloadFinished), view);
}

WebKitUserContentManager* userContentManager(const WebViewConfiguration& configuration) {
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    for (const UserScript& script : configuration.userScripts) {
        const auto time = script.injectionTime == UserScriptInjectionTime::DocumentStart
                              ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START
                              : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END;
        WebKitUserScript* userScript = webkit_user_script_new(
            script.source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, time, nullptr, nullptr);
        webkit_user_content_manager_add_script(manager, userScript);
        webkit_user_script_unref(userScript);
    }
    installScriptMessageRelay(manager, configuration.scriptMessageHandlers);
    return manager;
}

void onCookieAdded(GObject* manager, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(manager), result, &error);
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    if (error != nullptr) {
        debugLine(std::string("cookie not stored: ") + error->message);
        g_error_free(error);
    }
    // Cancelled only when the view is gone.
    if (!cancelled) {
        static_cast<GtkWebView*>(data)->cookieSettled();
    }
}

// A search bar whose entry finds text in `view`: typing searches, Enter goes to the next
// match, Escape ends the search.
GtkWidget* makeFindBar(WebKitWebView* view) {
    GtkWidget* bar = gtk_search_bar_new();
    GtkWidget* entry = gtk_search_entry_new();
    gtk_container_add(GTK_CONTAINER(bar), entry);
    gtk_search_bar_connect_entry(GTK_SEARCH_BAR(bar), GTK_ENTRY(entry));
    gtk_search_bar_set_show_close_button(GTK_SEARCH_BAR(bar), TRUE);
    WebKitFindController* finder = webkit_web_view_get_find_controller(view);
    g_signal_connect(entry, "search-changed", G_CALLBACK(+[](GtkSearchEntry* entry, gpointer data) {
                         auto* finder = static_cast<WebKitFindController*>(data);
                         const char* text = gtk_entry_get_text(GTK_ENTRY(entry));
                         if (text == nullptr || *text == '\0') {
                             webkit_find_controller_search_finish(finder);
                             return;
                         }
                         webkit_find_controller_search(finder, text,
                                                       WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE |
                                                           WEBKIT_FIND_OPTIONS_WRAP_AROUND,
                                                       G_MAXUINT);
                     }),
                     finder);
    g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkEntry*, gpointer data) {
                         webkit_find_controller_search_next(
                             static_cast<WebKitFindController*>(data));
                     }),
                     finder);
    g_signal_connect(entry, "stop-search", G_CALLBACK(+[](GtkSearchEntry*, gpointer data) {
                         webkit_find_controller_search_finish(
                             static_cast<WebKitFindController*>(data));
                     }),
                     finder);
    g_object_set_data(G_OBJECT(bar), "zevra-find-entry", entry);
    return bar;
}

void removeCachedWebsiteData(WebKitWebView* view) {
    WebKitWebsiteDataManager* store = webkit_web_view_get_website_data_manager(view);
    const auto caches = static_cast<WebKitWebsiteDataTypes>(
        WEBKIT_WEBSITE_DATA_DISK_CACHE | WEBKIT_WEBSITE_DATA_MEMORY_CACHE |
        WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE | WEBKIT_WEBSITE_DATA_DOM_CACHE);
    // A time span of 0 removes everything of those types, however old.
    webkit_website_data_manager_clear(store, caches, 0, nullptr, nullptr, nullptr);
}

} // namespace

GtkWebView::GtkWebView(const WebViewConfiguration& configuration, WebViewDelegate* delegate)
    : delegate_(delegate) {
    WebKitUserContentManager* manager = userContentManager(configuration);
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(manager));
    g_object_ref_sink(view_);
    g_object_unref(manager); // the view holds it
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_enable_developer_extras(settings, configuration.developerExtras);
    webkit_settings_set_media_playback_requires_user_gesture(
        settings, configuration.mediaPlaybackRequiresUserGesture);
    if (configuration.removeCachedWebsiteData) {
        removeCachedWebsiteData(view_);
    }
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    storeCookies(configuration.cookies);
    if (delegate_ == nullptr) {
        return;
    }
    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailed), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), this);
    g_signal_connect(view_, "create", G_CALLBACK(onCreate), this);
    g_signal_connect(view_, "run-file-chooser", G_CALLBACK(onRunFileChooser), this);
    g_signal_connect(webkit_web_view_get_context(view_), "download-started",
                     G_CALLBACK(onDownloadStarted), this);
    for (const std::string& name : configuration.scriptMessageHandlers) {
        scriptHandlers_.push_back(std::make_unique<ScriptHandlerBinding>(this, name));
        g_signal_connect(manager, ("script-message-received::" + name).c_str(),
                         G_CALLBACK(onScriptMessage), scriptHandlers_.back().get());
    }
}

GtkWebView::~GtkWebView() {
    if (cookiesCancellable_ != nullptr) {
        g_cancellable_cancel(cookiesCancellable_);
        g_object_unref(cookiesCancellable_);
    }
    static_cast<void>(endLoadTimeout());
    for (WebKitDownload* download : downloads_) {
        g_signal_handlers_disconnect_by_data(download, this);
        g_object_unref(download);
    }
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_context(view_), this);
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view_);
    for (const auto& binding : scriptHandlers_) {
        g_signal_handlers_disconnect_by_data(manager, binding.get());
    }
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_unref(view_);
}

void GtkWebView::loadURL(const std::string& url) {
    loadRequest({url, false, URLRequest{}.timeout});
}

void GtkWebView::loadRequest(const URLRequest& request) {
    loadWhenCookiesSettle([this, request] { startRequest(request); });
}

void GtkWebView::startRequest(const URLRequest& request) {
    WebKitURIRequest* uriRequest = webkit_uri_request_new(request.url.c_str());
    SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(uriRequest);
    if (request.ignoringLocalCache && headers != nullptr) {
        soup_message_headers_replace(headers, "Cache-Control", "no-cache");
        soup_message_headers_replace(headers, "Pragma", "no-cache");
    }
    webkit_web_view_load_request(view_, uriRequest);
    g_object_unref(uriRequest);
    startLoadTimeout(request.timeout);
}

void GtkWebView::startLoadTimeout(std::chrono::seconds timeout) {
    static_cast<void>(endLoadTimeout());
    loadTimeout_ = g_timeout_add_seconds(
        static_cast<guint>(timeout.count()),
        [](gpointer data) -> gboolean {
            auto* view = static_cast<GtkWebView*>(data);
            view->loadTimeout_ = 0;
            view->loadTimedOut_ = true;
            webkit_web_view_stop_loading(view->view_);
            return G_SOURCE_REMOVE;
        },
        this);
}

bool GtkWebView::endLoadTimeout() {
    if (loadTimeout_ != 0) {
        g_source_remove(loadTimeout_);
        loadTimeout_ = 0;
    }
    return std::exchange(loadTimedOut_, false);
}

void GtkWebView::evaluateCondition(const std::string& source, std::function<void(bool)> done) {
    auto* boxed = new std::function<void(bool)>(std::move(done));
    webkit_web_view_evaluate_javascript(
        view_, source.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            const std::unique_ptr<std::function<void(bool)>> done(
                static_cast<std::function<void(bool)>*>(data));
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(object),
                                                                         result, nullptr);
            const bool holds = value != nullptr && jsc_value_to_boolean(value) != FALSE;
            if (value != nullptr) {
                g_object_unref(value);
            }
            (*done)(holds);
        },
        boxed);
}

void GtkWebView::showFindBar() {
    GtkWidget* container = gtk_widget_get_parent(GTK_WIDGET(view_));
    if (findBar_ == nullptr && GTK_IS_BOX(container)) {
        findBar_ = makeFindBar(view_);
        // Packed from the end after the view, so it sits just above it.
        gtk_box_pack_end(GTK_BOX(container), findBar_, FALSE, FALSE, 0);
        gtk_widget_show_all(findBar_);
    }
    if (findBar_ == nullptr) {
        return;
    }
    gtk_search_bar_set_search_mode(GTK_SEARCH_BAR(findBar_), TRUE);
    gtk_widget_grab_focus(
        static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(findBar_), "zevra-find-entry")));
    debugLine("find bar shown");
}

void GtkWebView::evaluateScript(const std::string& source) {
    webkit_web_view_evaluate_javascript(view_, source.c_str(), -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
}

void GtkWebView::loadHTML(const std::string& html, const std::string& baseURL) {
    static_cast<void>(endLoadTimeout());
    loadWhenCookiesSettle([this, html, baseURL] {
        GBytes* bytes = g_bytes_new(html.data(), html.size());
        webkit_web_view_load_bytes(view_, bytes, "text/html", "UTF-8",
                                   baseURL.empty() ? nullptr : baseURL.c_str());
        g_bytes_unref(bytes);
    });
}

void GtkWebView::storeCookies(const std::vector<WebViewCookie>& cookies) {
    if (cookies.empty()) {
        return;
    }
    cookiesCancellable_ = g_cancellable_new();
    WebKitCookieManager* manager =
        webkit_web_context_get_cookie_manager(webkit_web_view_get_context(view_));
    unsettledCookies_ = cookies.size();
    for (const WebViewCookie& cookie : cookies) {
        // A domain without a leading dot makes the cookie host-only.
        SoupCookie* made = soup_cookie_new(cookie.name.c_str(), cookie.value.c_str(),
                                           cookie.host.c_str(), "/", -1);
        soup_cookie_set_http_only(made, TRUE);
        soup_cookie_set_same_site_policy(made, SOUP_SAME_SITE_POLICY_STRICT);
        webkit_cookie_manager_add_cookie(manager, made, cookiesCancellable_, onCookieAdded, this);
        soup_cookie_free(made);
    }
}

void GtkWebView::cookieSettled() {
    if (unsettledCookies_ == 0 || --unsettledCookies_ > 0 || !deferredLoad_) {
        return;
    }
    const auto load = std::move(deferredLoad_);
    deferredLoad_ = nullptr;
    load();
}

void GtkWebView::loadWhenCookiesSettle(std::function<void()> load) {
    if (unsettledCookies_ > 0) {
        deferredLoad_ = std::move(load);
        return;
    }
    load();
}

std::string GtkWebView::currentURL() const {
    return orEmpty(webkit_web_view_get_uri(view_));
}

GtkWidget* GtkWebView::widget() const {
    return GTK_WIDGET(view_);
}

void GtkWebView::setBackgroundColor(const std::string& color) {
    GdkRGBA rgba{0.75, 0.75, 0.75, 1.0};
    if (!color.empty()) {
        gdk_rgba_parse(&rgba, color.c_str());
    }
    webkit_web_view_set_background_color(view_, &rgba);
}

void GtkWebView::trackDownload(WebKitDownload* download) {
    downloads_.push_back(WEBKIT_DOWNLOAD(g_object_ref(download)));
}

void GtkWebView::forgetDownload(WebKitDownload* download) {
    const auto found = std::find(downloads_.begin(), downloads_.end(), download);
    if (found == downloads_.end()) {
        return;
    }
    downloads_.erase(found);
    g_signal_handlers_disconnect_by_data(download, this);
    g_object_unref(download);
}

} // namespace zevra
