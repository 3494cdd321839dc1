#include "platform/headless/headless_web_view.h"
#include "platform/debug_log.h"

#include <algorithm>

namespace zevra {

HeadlessWebView::HeadlessWebView(WebViewConfiguration configuration, WebViewDelegate& delegate)
    : configuration_(std::move(configuration)), delegate_(delegate) {}

void HeadlessWebView::loadURL(const std::string& url) {
    loads_.push_back({url, std::nullopt, false, URLRequest{}.timeout});
    debugLine("load requested: " + url);
}

void HeadlessWebView::loadRequest(const URLRequest& request) {
    loads_.push_back({request.url, std::nullopt, request.ignoringLocalCache, request.timeout});
    debugLine("load requested: " + request.url);
}

void HeadlessWebView::loadHTML(const std::string& html, const std::string& baseURL) {
    loads_.push_back({baseURL, html, false, URLRequest{}.timeout});
    debugLine("load requested: " + currentURL());
}

std::string HeadlessWebView::currentURL() const {
    if (loads_.empty()) {
        return "";
    }
    const Load& last = loads_.back();
    return last.html.has_value() && last.url.empty() ? "about:blank" : last.url;
}

void HeadlessWebView::evaluateScript(const std::string& source) {
    scripts_.push_back(source);
}

void HeadlessWebView::evaluateCondition(const std::string& source, std::function<void(bool)> done) {
    scripts_.push_back(source);
    done(conditionResult_);
}

void HeadlessWebView::showFindBar() {
    ++findBarShown_;
}

bool HeadlessWebView::postScriptMessage(const ScriptMessage& message) {
    const auto& names = configuration_.scriptMessageHandlers;
    if (std::find(names.begin(), names.end(), message.handlerName) == names.end()) {
        return false;
    }
    delegate_.didReceiveScriptMessage(*this, message);
    return true;
}

} // namespace zevra
