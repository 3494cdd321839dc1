#pragma once

#include "platform/web_view.h"
#include "platform/web_view_delegate.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitDownload WebKitDownload;
typedef struct _GtkWidget GtkWidget;
typedef struct _GCancellable GCancellable;

namespace zevra {

// A WebKitWebView whose events go to a WebViewDelegate. The widget belongs to the container it
// is put in; this object keeps a reference of its own and disconnects every signal it connected
// when it goes.
class GtkWebView final : public WebView {
public:
    // `delegate` may be null for a view that only shows one page (document windows).
    GtkWebView(const WebViewConfiguration& configuration, WebViewDelegate* delegate);
    ~GtkWebView() override;
    GtkWebView(const GtkWebView&) = delete;
    GtkWebView& operator=(const GtkWebView&) = delete;

    void loadURL(const std::string& url) override;
    void loadRequest(const URLRequest& request) override;
    void loadHTML(const std::string& html, const std::string& baseURL) override;
    [[nodiscard]] std::string currentURL() const override;
    void evaluateScript(const std::string& source) override;
    void evaluateCondition(const std::string& source, std::function<void(bool)> done) override;
    void showFindBar() override;

    [[nodiscard]] GtkWidget* widget() const;
    void setBackgroundColor(const std::string& color);

    // For the signal handlers.
    struct ScriptHandlerBinding {
        GtkWebView* view;
        std::string name;
    };
    [[nodiscard]] WebViewDelegate* delegate() const { return delegate_; }
    [[nodiscard]] WebKitWebView* webKitView() const { return view_; }
    void trackDownload(WebKitDownload* download);
    void forgetDownload(WebKitDownload* download);
    // A cookie of the configuration has been stored (or could not be); the first load waits
    // for all of them.
    void cookieSettled();
    // Ends the running request's time limit; true when the limit had already stopped the load.
    bool endLoadTimeout();

private:
    WebKitWebView* view_ = nullptr;
    WebViewDelegate* delegate_ = nullptr;
    std::vector<std::unique_ptr<ScriptHandlerBinding>> scriptHandlers_;
    std::vector<WebKitDownload*> downloads_;
    GCancellable* cookiesCancellable_ = nullptr;
    std::size_t unsettledCookies_ = 0;
    std::function<void()> deferredLoad_; // the latest load asked for while cookies settle

    void storeCookies(const std::vector<WebViewCookie>& cookies);
    void loadWhenCookiesSettle(std::function<void()> load);
    GtkWidget* findBar_ = nullptr; // made on first use, beside the view in its container
    unsigned int loadTimeout_ = 0; // GLib source id, 0 when none
    bool loadTimedOut_ = false;

    void startRequest(const URLRequest& request);
    void startLoadTimeout(std::chrono::seconds timeout);
};

} // namespace zevra
