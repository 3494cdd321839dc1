#pragma once

#include "platform/web_view_delegate.h"
#include "webshell/download_delegate.h"
#include "webshell/web_nav_delegate.h"
#include "webshell/web_ui_delegate.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zevra {

// The delegate of the main web view (and, with fewer parts, of floaters): navigation goes to the
// navigation delegate once there is one, each script message to the handler registered under its
// name, downloads to the download delegate and new windows and file choosers to the UI delegate.
// The download and UI delegates are not owned and must outlive this one.
class MainWebViewDelegate final : public WebViewDelegate {
public:
    using ScriptMessageHandler = std::function<void(const ScriptMessage&)>;

    void addScriptMessageHandler(std::string name, ScriptMessageHandler handler);
    // The registered names, in registration order, for the web view's configuration.
    [[nodiscard]] std::vector<std::string> scriptMessageHandlerNames() const;
    void setNavigationDelegate(std::unique_ptr<WebNavDelegate> navigation);
    void setDownloadDelegate(DownloadDelegate* downloads) { downloads_ = downloads; }
    void setUIDelegate(WebUIDelegate* ui) { ui_ = ui; }

    NavigationDecision decidePolicy(WebView& view, const NavigationAction& action) override;
    ResponseDecision decidePolicy(WebView& view, const NavigationResponse& response) override;
    void didFinishNavigation(WebView& view) override;
    void didFailNavigation(WebView& view, const NavigationFailure& failure) override;
    void webContentProcessDidTerminate(WebView& view) override;
    void didReceiveScriptMessage(WebView& view, const ScriptMessage& message) override;
    void didRequestNewWindow(WebView& view, const NewWindowRequest& request) override;
    std::optional<std::filesystem::path>
    downloadDestination(WebView& view, const DownloadRequest& request) override;
    void downloadDidFinish(WebView& view, const std::filesystem::path& file) override;
    void downloadDidFail(WebView& view, const DownloadFailure& failure) override;
    std::optional<OpenPanelOptions> openPanelOptions(WebView& view,
                                                     const OpenPanelRequest& request) override;

private:
    struct Registration {
        std::string name;
        ScriptMessageHandler handler;
    };
    std::vector<Registration> handlers_;
    std::unique_ptr<WebNavDelegate> navigation_;
    DownloadDelegate* downloads_ = nullptr;
    WebUIDelegate* ui_ = nullptr;
};

} // namespace zevra
