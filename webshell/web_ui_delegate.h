#pragma once

#include "platform/web_view_events.h"
#include "webshell/floater_registry.h"

#include <functional>

namespace zevra {

// What the main web view asks of the user interface: new windows become floaters, and file
// inputs get a chooser limited to the media, documents and text pages upload.
class WebUIDelegate {
public:
    // Runs work later on the main thread.
    using MainQueue = std::function<void(std::function<void()>)>;

    WebUIDelegate(FloaterRegistry& registry, MainQueue mainQueue);

    void didRequestNewWindow(const NewWindowRequest& request);
    [[nodiscard]] static OpenPanelOptions openPanelOptions(const OpenPanelRequest& request);

private:
    FloaterRegistry& registry_;
    MainQueue mainQueue_;
};

} // namespace zevra
