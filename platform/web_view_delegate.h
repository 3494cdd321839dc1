#pragma once

#include "platform/web_view_events.h"

#include <filesystem>
#include <optional>

namespace zevra {

class WebView;

// What a web view asks of the app. Every call arrives on the main thread. The defaults let pages
// load, open no window and save nothing, so a delegate overrides only what it has rules for.
class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;

    virtual NavigationDecision decidePolicy(WebView&, const NavigationAction&) {
        return NavigationDecision::Allow;
    }
    virtual ResponseDecision decidePolicy(WebView&, const NavigationResponse& response) {
        return response.canShowMimeType ? ResponseDecision::Allow : ResponseDecision::Download;
    }
    virtual void didFinishNavigation(WebView&) {}
    virtual void didFailNavigation(WebView&, const NavigationFailure&) {}
    virtual void webContentProcessDidTerminate(WebView&) {}
    // Messages for the names the view was configured with; no others arrive.
    virtual void didReceiveScriptMessage(WebView&, const ScriptMessage&) {}
    // The view never opens a window by itself.
    virtual void didRequestNewWindow(WebView&, const NewWindowRequest&) {}

    // Where a download goes; absent cancels it.
    virtual std::optional<std::filesystem::path> downloadDestination(WebView&,
                                                                     const DownloadRequest&) {
        return std::nullopt;
    }
    virtual void downloadDidFinish(WebView&, const std::filesystem::path&) {}
    // Also for a download stopped after its destination was chosen.
    virtual void downloadDidFail(WebView&, const DownloadFailure&) {}

    // The chooser to show for a page's file input; absent hands the page no files.
    virtual std::optional<OpenPanelOptions> openPanelOptions(WebView&, const OpenPanelRequest&) {
        return std::nullopt;
    }
};

} // namespace zevra
