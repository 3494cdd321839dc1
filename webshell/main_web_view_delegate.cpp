#include "webshell/main_web_view_delegate.h"

#include <algorithm>

namespace zevra {

void MainWebViewDelegate::addScriptMessageHandler(std::string name, ScriptMessageHandler handler) {
    handlers_.push_back({std::move(name), std::move(handler)});
}

std::vector<std::string> MainWebViewDelegate::scriptMessageHandlerNames() const {
    std::vector<std::string> names(handlers_.size());
    std::transform(handlers_.begin(), handlers_.end(), names.begin(),
                   [](const Registration& registration) { return registration.name; });
    return names;
}

void MainWebViewDelegate::setNavigationDelegate(std::unique_ptr<WebNavDelegate> navigation) {
    navigation_ = std::move(navigation);
}

NavigationDecision MainWebViewDelegate::decidePolicy(WebView& view,
                                                     const NavigationAction& action) {
    return navigation_ ? navigation_->decidePolicy(view, action)
                       : WebViewDelegate::decidePolicy(view, action);
}

ResponseDecision MainWebViewDelegate::decidePolicy(WebView& view,
                                                   const NavigationResponse& response) {
    return navigation_ ? navigation_->decidePolicy(view, response)
                       : WebViewDelegate::decidePolicy(view, response);
}

void MainWebViewDelegate::didFinishNavigation(WebView& view) {
    if (navigation_) {
        navigation_->didFinishNavigation(view);
    }
}

void MainWebViewDelegate::didFailNavigation(WebView& view, const NavigationFailure& failure) {
    if (navigation_) {
        navigation_->didFailNavigation(view, failure);
    }
}

void MainWebViewDelegate::webContentProcessDidTerminate(WebView& view) {
    if (navigation_) {
        navigation_->webContentProcessDidTerminate(view);
    }
}

void MainWebViewDelegate::didReceiveScriptMessage(WebView&, const ScriptMessage& message) {
    const auto registration =
        std::find_if(handlers_.begin(), handlers_.end(), [&](const Registration& candidate) {
            return candidate.name == message.handlerName;
        });
    if (registration != handlers_.end()) {
        registration->handler(message);
    }
}

void MainWebViewDelegate::didRequestNewWindow(WebView&, const NewWindowRequest& request) {
    if (ui_ != nullptr) {
        ui_->didRequestNewWindow(request);
    }
}

std::optional<std::filesystem::path>
MainWebViewDelegate::downloadDestination(WebView&, const DownloadRequest& request) {
    return downloads_ != nullptr ? downloads_->destination(request) : std::nullopt;
}

void MainWebViewDelegate::downloadDidFinish(WebView&, const std::filesystem::path& file) {
    if (downloads_ != nullptr) {
        downloads_->finished(file);
    }
}

void MainWebViewDelegate::downloadDidFail(WebView&, const DownloadFailure& failure) {
    if (downloads_ != nullptr) {
        downloads_->failed(failure);
    }
}

std::optional<OpenPanelOptions>
MainWebViewDelegate::openPanelOptions(WebView&, const OpenPanelRequest& request) {
    if (ui_ == nullptr) {
        return std::nullopt;
    }
    return WebUIDelegate::openPanelOptions(request);
}

} // namespace zevra
