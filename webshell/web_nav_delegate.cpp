#include "webshell/web_nav_delegate.h"

#include "base/shell_address.h"
#include "webshell/recovery_pages.h"

#include <algorithm>

namespace zevra {

WebNavDelegate::WebNavDelegate(WebNavServices services, NavigationHosts hosts)
    : services_(std::move(services)), hosts_(hosts) {}

NavigationDecision WebNavDelegate::decidePolicy(WebView&, const NavigationAction& action) {
    switch (navigationActionPolicy(action, hosts_)) {
    case ActionPolicy::Allow:
        return NavigationDecision::Allow;
    case ActionPolicy::Cancel:
        return NavigationDecision::Cancel;
    case ActionPolicy::OpenInBrowser:
        services_.openInBrowser(action.url);
        return NavigationDecision::Cancel;
    case ActionPolicy::SaveDataURL:
        saveDataURL(action.url);
        return NavigationDecision::Cancel;
    }
    return NavigationDecision::Cancel;
}

ResponseDecision WebNavDelegate::decidePolicy(WebView&, const NavigationResponse& response) {
    switch (navigationResponsePolicy(response, hosts_)) {
    case ResponsePolicy::Allow:
        return ResponseDecision::Allow;
    case ResponsePolicy::Download:
        return ResponseDecision::Download;
    case ResponsePolicy::Ignore:
        return ResponseDecision::Ignore;
    case ResponsePolicy::SaveDataURL:
        saveDataURL(response.url);
        return ResponseDecision::Ignore;
    }
    return ResponseDecision::Ignore;
}

void WebNavDelegate::saveDataURL(const std::string& url) {
    if (auto download = handleDataURL(url)) {
        services_.saveDataURL(std::move(*download));
    }
}

void WebNavDelegate::didFinishNavigation(WebView& view) {
    // A recovery page has the shell's address as its base, so showing one also ends a round.
    if (isNativeShellURL(view.currentURL())) {
        nativeShellRecoveryAttempts_ = 0;
        nativeShellRecoveryScheduled_ = false;
    }
}

void WebNavDelegate::didFailNavigation(WebView& view, const NavigationFailure& failure) {
    // A download started from the page and a navigation replaced by the next one leave the
    // shell as it was; reloading it would only lose its state.
    if (failure.kind != NavigationFailureKind::Failed) {
        return;
    }
    recoverNativeShell(view, failure);
}

void WebNavDelegate::recoverNativeShell(WebView& view, const NavigationFailure& failure) {
    if (!isNativeShellURL(failure.failingURL) && !isNativeShellURL(view.currentURL())) {
        return; // other pages' failures are the web view's own business
    }
    if (nativeShellRecoveryScheduled_) {
        return;
    }
    if (nativeShellRecoveryAttempts_ < shellLoadRetries) {
        const int attempt = ++nativeShellRecoveryAttempts_;
        nativeShellRecoveryScheduled_ = true;
        pendingLoad_ = services_.runLater(retryStep * attempt, [this, &view] {
            nativeShellRecoveryScheduled_ = false;
            services_.loadShellPage(view, {std::string(shellPageURL), true, retryTimeout});
        });
        return;
    }
    nativeShellRecoveryScheduled_ = true;
    view.loadHTML(shellRecoveryPage(failure.description), std::string(shellPageURL));
}

void WebNavDelegate::webContentProcessDidTerminate(WebView& view) {
    const TimePoint now = services_.clock.now();
    std::erase_if(recentWebContentTerminations_,
                  [&](TimePoint then) { return now - then >= terminationWindow; });
    recentWebContentTerminations_.push_back(now);
    const std::size_t count = recentWebContentTerminations_.size();
    services_.record(webContentProcessTerminatedEvent,
                     "WKWebView renderer stopped; recovery count in 30 seconds: " +
                         std::to_string(count));
    if (count >= terminationsBeforeRecoveryPage) {
        pendingLoad_.reset();
        view.loadHTML(rendererRecoveryPage(shellPageURL), std::string(shellPageURL));
        return;
    }
    nativeShellRecoveryAttempts_ = 0;
    nativeShellRecoveryScheduled_ = false;
    const std::string current = view.currentURL();
    const bool showsShell = current.empty() || isNativeShellURL(current);
    pendingLoad_ = services_.runLater(reloadDelay, [this, &view, showsShell, current] {
        const URLRequest request{showsShell ? std::string(shellPageURL) : current, true,
                                 reloadTimeout};
        // The shell is shown the way this launch shows it, so a safe start stays one.
        if (showsShell) {
            services_.loadShellPage(view, request);
            return;
        }
        view.loadRequest(request);
    });
}

} // namespace zevra
