#pragma once

#include "platform/clock.h"
#include "platform/main_thread_timer.h"
#include "platform/web_view.h"
#include "platform/web_view_events.h"
#include "webshell/data_url.h"
#include "webshell/navigation_policy.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zevra {

// What the navigation delegate uses of the rest of the application.
struct WebNavServices {
    const Clock& clock;
    // Runs work once on the main thread after a delay; destroying the timer cancels it.
    std::function<std::unique_ptr<MainThreadTimer>(std::chrono::milliseconds,
                                                   std::function<void()>)>
        runLater;
    // One event of the reliability journal.
    std::function<void(std::string_view kind, std::string_view detail)> record;
    std::function<void(const std::string& url)> openInBrowser;
    std::function<void(DataURLDownload)> saveDataURL;
    // Shows the shell page (or whatever stands for it in this launch) with `request`.
    std::function<void(WebView&, const URLRequest& request)> loadShellPage;
};

inline constexpr std::string_view webContentProcessTerminatedEvent =
    "web_content_process_terminated";

// The navigation side of the main web view: which navigations stay, and keeping the shell
// page alive through failed loads and renderer crashes. Main thread only.
class WebNavDelegate {
public:
    static constexpr int shellLoadRetries = 2;
    static constexpr std::chrono::milliseconds retryStep{250};
    static constexpr std::chrono::seconds retryTimeout{10};
    static constexpr std::chrono::seconds terminationWindow{30};
    static constexpr std::size_t terminationsBeforeRecoveryPage = 3;
    static constexpr std::chrono::milliseconds reloadDelay{200};
    static constexpr std::chrono::seconds reloadTimeout{15};

    WebNavDelegate(WebNavServices services, NavigationHosts hosts);

    [[nodiscard]] NavigationDecision decidePolicy(WebView& view, const NavigationAction& action);
    [[nodiscard]] ResponseDecision decidePolicy(WebView& view, const NavigationResponse& response);
    void didFinishNavigation(WebView& view);
    void didFailNavigation(WebView& view, const NavigationFailure& failure);
    void webContentProcessDidTerminate(WebView& view);

private:
    WebNavServices services_;
    const NavigationHosts hosts_;
    int nativeShellRecoveryAttempts_ = 0;
    bool nativeShellRecoveryScheduled_ = false;
    std::vector<TimePoint> recentWebContentTerminations_;
    std::unique_ptr<MainThreadTimer> pendingLoad_;

    void recoverNativeShell(WebView& view, const NavigationFailure& failure);
    void saveDataURL(const std::string& url);
};

} // namespace zevra
