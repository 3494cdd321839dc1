#include "app/floater_windows.h"

#include "webshell/download_delegate.h"
#include "webshell/floater_bridge_script.h"

#include <chrono>
#include <utility>

namespace zevra {
namespace {

constexpr std::chrono::seconds firstLoadTimeout{60};
constexpr int minimumWidth = 240;
constexpr int minimumHeight = 160;

} // namespace

ApplicationFloaters::ApplicationFloaters(Application& application, const Clock& clock,
                                         FloaterRegistry::RouteURL routeURL, bool developerExtras,
                                         DownloadDelegate& downloads)
    : application_(application), developerExtras_(developerExtras),
      registry_(*this, clock, std::move(routeURL)),
      messages_(registry_, [&application](std::function<void()> work) {
          application.postToMain(std::move(work));
      }) {
    viewDelegate_.addScriptMessageHandler(
        "zevraFloater", [this](const ScriptMessage& message) { messages_.receive(message.body); });
    viewDelegate_.setDownloadDelegate(&downloads);
}

void ApplicationFloaters::open(const FloaterWindow& window) {
    FloatingWindowDescription description{.title = window.title,
                                          .x = window.x,
                                          .y = window.y,
                                          .width = window.width,
                                          .height = window.height,
                                          .minimumWidth = minimumWidth,
                                          .minimumHeight = minimumHeight,
                                          .webView = {}};
    description.webView.developerExtras = developerExtras_;
    description.webView.scriptMessageHandlers = viewDelegate_.scriptMessageHandlerNames();
    description.webView.userScripts.push_back(
        {std::string(floaterBridgeScript()), UserScriptInjectionTime::DocumentEnd});
    auto made = application_.openFloatingWindow(description, viewDelegate_,
                                                [this, id = window.id] { closed(id); });
    // A URL that maps to nothing leaves the window empty.
    if (window.url) {
        made->webView().loadRequest(URLRequest{*window.url, false, firstLoadTimeout});
    }
    windows_[window.id] = std::move(made);
}

void ApplicationFloaters::front(const std::string& id) {
    if (const auto found = windows_.find(id); found != windows_.end()) {
        found->second->bringToFront();
    }
}

void ApplicationFloaters::closed(const std::string& id) {
    registry_.forget(id);
    windows_.erase(id);
}

} // namespace zevra
