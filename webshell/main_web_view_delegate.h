#pragma once

#include "platform/web_view_delegate.h"
#include "webshell/web_nav_delegate.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zevra {

// The delegate of the main web view: navigation goes to the navigation delegate once there is
// one, and each script message to the handler registered under its name.
class MainWebViewDelegate final : public WebViewDelegate {
public:
    using ScriptMessageHandler = std::function<void(const ScriptMessage&)>;

    void addScriptMessageHandler(std::string name, ScriptMessageHandler handler);
    // The registered names, in registration order, for the web view's configuration.
    [[nodiscard]] std::vector<std::string> scriptMessageHandlerNames() const;
    void setNavigationDelegate(std::unique_ptr<WebNavDelegate> navigation);

    NavigationDecision decidePolicy(WebView& view, const NavigationAction& action) override;
    ResponseDecision decidePolicy(WebView& view, const NavigationResponse& response) override;
    void didFinishNavigation(WebView& view) override;
    void didFailNavigation(WebView& view, const NavigationFailure& failure) override;
    void webContentProcessDidTerminate(WebView& view) override;
    void didReceiveScriptMessage(WebView& view, const ScriptMessage& message) override;

private:
    struct Registration {
        std::string name;
        ScriptMessageHandler handler;
    };
    std::vector<Registration> handlers_;
    std::unique_ptr<WebNavDelegate> navigation_;
};

} // namespace zevra
