#pragma once

#include "platform/web_view.h"
#include "platform/web_view_delegate.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zevra {

// A web view without an engine: it records what it was asked to load, and hands the delegate
// the events a test plays the page's part for.
class HeadlessWebView final : public WebView {
public:
    struct Load {
        std::string url;                 // the URL, or the base URL of an HTML load
        std::optional<std::string> html; // present for loadHTML
        bool ignoringLocalCache = false;
        std::chrono::seconds timeout{60};
    };

    HeadlessWebView(WebViewConfiguration configuration, WebViewDelegate& delegate);

    void loadURL(const std::string& url) override;
    void loadRequest(const URLRequest& request) override;
    void loadHTML(const std::string& html, const std::string& baseURL) override;
    [[nodiscard]] std::string currentURL() const override;
    void evaluateScript(const std::string& source) override;
    void evaluateCondition(const std::string& source, std::function<void(bool)> done) override;
    void showFindBar() override;

    [[nodiscard]] const WebViewConfiguration& configuration() const { return configuration_; }
    [[nodiscard]] const std::vector<Load>& loads() const { return loads_; }
    [[nodiscard]] const std::vector<std::string>& evaluatedScripts() const { return scripts_; }
    // What conditions evaluate to; false until set.
    void setConditionResult(bool result) { conditionResult_ = result; }
    [[nodiscard]] int findBarShownCount() const { return findBarShown_; }
    [[nodiscard]] WebViewDelegate& delegate() const { return delegate_; }
    // A page posting a message: as with the engine, only configured names reach the delegate.
    // False when the name is not one of them.
    bool postScriptMessage(const ScriptMessage& message);

private:
    WebViewConfiguration configuration_;
    WebViewDelegate& delegate_;
    std::vector<Load> loads_;
    std::vector<std::string> scripts_;
    bool conditionResult_ = false;
    int findBarShown_ = 0;
};

} // namespace zevra
