#pragma once

#include "platform/application.h"
#include "platform/clock.h"
#include "webshell/floater_message_handler.h"
#include "webshell/floater_registry.h"
#include "webshell/main_web_view_delegate.h"

#include <map>
#include <memory>
#include <string>

namespace zevra {

class DownloadDelegate;

// The floaters on screen: the registry's windows, made by the application, each with a web view
// whose new windows become more floaters and whose downloads go to the downloads folder.
// Main thread only.
class ApplicationFloaters final : public FloaterWindows {
public:
    ApplicationFloaters(Application& application, const Clock& clock,
                        FloaterRegistry::RouteURL routeURL, bool developerExtras,
                        DownloadDelegate& downloads);
    ApplicationFloaters(const ApplicationFloaters&) = delete;
    ApplicationFloaters& operator=(const ApplicationFloaters&) = delete;

    [[nodiscard]] FloaterRegistry& registry() { return registry_; }
    // The "zevraFloater" messages of every view that has the handler.
    [[nodiscard]] FloaterMessageHandler& messages() { return messages_; }

    void open(const FloaterWindow& window) override;
    void front(const std::string& id) override;

private:
    Application& application_;
    const bool developerExtras_;
    MainWebViewDelegate viewDelegate_; // shared by every floater's view
    FloaterRegistry registry_;
    FloaterMessageHandler messages_;
    // Last, so the windows go before the delegate their views ask.
    std::map<std::string, std::unique_ptr<FloatingWindow>, std::less<>> windows_;

    void closed(const std::string& id);
};

} // namespace zevra
