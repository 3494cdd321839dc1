#include "webshell/main_web_view_delegate.h"

namespace zevra {

void MainWebViewDelegate::addScriptMessageHandler(std::string name, ScriptMessageHandler handler) {
    handlers_.push_back({std::move(name), std::move(handler)});
}

std::vector<std::string> MainWebViewDelegate::scriptMessageHandlerNames() const {
    std::vector<std::string> names;
    names.reserve(handlers_.size());
    for (const auto& registration : handlers_) {
        names.push_back(registration.name);
    }
    return names;
}

void MainWebViewDelegate::didReceiveScriptMessage(WebView&, const ScriptMessage& message) {
    for (const auto& registration : handlers_) {
        if (registration.name == message.handlerName) {
            registration.handler(message);
            return;
        }
    }
}

} // namespace zevra
