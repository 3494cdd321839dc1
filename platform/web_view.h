#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace zevra {

enum class UserScriptInjectionTime { DocumentStart, DocumentEnd };

// Page script run in the page's own world, in every frame.
struct UserScript {
    std::string source;
    UserScriptInjectionTime injectionTime = UserScriptInjectionTime::DocumentStart;
};

// A session cookie set in the view's cookie store before its first page loads: host-only, path
// "/", HttpOnly and SameSite=Strict, so only the host's own pages send it and no script reads it.
struct WebViewCookie {
    std::string name;
    std::string value;
    std::string host;
};

struct WebViewConfiguration {
    bool developerExtras = false;
    bool mediaPlaybackRequiresUserGesture = true;
    // Empties the shared store's caches (not cookies or local storage) before the first load.
    bool removeCachedWebsiteData = false;
    // Names pages post to with window.webkit.messageHandlers.NAME.postMessage; messages reach the
    // delegate with the sending frame's origin.
    std::vector<std::string> scriptMessageHandlers;
    std::vector<UserScript> userScripts;
    std::vector<WebViewCookie> cookies;
};

// A load that can go past cached copies and gives up (as a failed load) after `timeout`.
struct URLRequest {
    std::string url;
    bool ignoringLocalCache = false;
    std::chrono::seconds timeout{60};
};

// One embedded web view. Main thread only.
class WebView {
public:
    virtual ~WebView() = default;

    virtual void loadURL(const std::string& url) = 0;
    virtual void loadRequest(const URLRequest& request) = 0;
    // Loads the page by length, so no character in it can cut it short. An empty base URL
    // leaves the page without an origin of its own ("about:blank").
    virtual void loadHTML(const std::string& html, const std::string& baseURL) = 0;
    // The address shown now; empty before the first load.
    [[nodiscard]] virtual std::string currentURL() const = 0;
    // Runs a script in the page without waiting for, or reading, its result.
    virtual void evaluateScript(const std::string& source) = 0;
    // Runs a script and hands `done` whether its result was true; a failing script gives false.
    virtual void evaluateCondition(const std::string& source, std::function<void(bool)> done) = 0;
    // The view's own find-in-page bar.
    virtual void showFindBar() = 0;
};

} // namespace zevra
