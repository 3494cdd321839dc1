#pragma once

#include "platform/web_view_delegate.h"

#include <functional>
#include <string>
#include <vector>

namespace zevra {

// The delegate of the main web view: hands each script message to the handler registered
// under its name.
class MainWebViewDelegate final : public WebViewDelegate {
public:
    using ScriptMessageHandler = std::function<void(const ScriptMessage&)>;

    void addScriptMessageHandler(std::string name, ScriptMessageHandler handler);
    // The registered names, in registration order, for the web view's configuration.
    [[nodiscard]] std::vector<std::string> scriptMessageHandlerNames() const;

    void didReceiveScriptMessage(WebView& view, const ScriptMessage& message) override;

private:
    struct Registration {
        std::string name;
        ScriptMessageHandler handler;
    };
    std::vector<Registration> handlers_;
};

} // namespace zevra
