#include "webshell/web_ui_delegate.h"

#include <utility>

namespace zevra {

WebUIDelegate::WebUIDelegate(FloaterRegistry& registry, MainQueue mainQueue)
    : registry_(registry), mainQueue_(std::move(mainQueue)) {}

void WebUIDelegate::didRequestNewWindow(const NewWindowRequest& request) {
    if (request.url.empty()) {
        return;
    }
    mainQueue_([&registry = registry_, url = request.url] {
        static_cast<void>(registry.openOrFocus(std::nullopt, url, std::nullopt,
                                               FloaterRegistry::defaultWidth,
                                               FloaterRegistry::defaultHeight));
    });
}

OpenPanelOptions WebUIDelegate::openPanelOptions(const OpenPanelRequest& request) {
    return {.allowsMultipleSelection = request.allowsMultipleSelection,
            .mimeTypes = {"image/*", "image/png", "image/jpeg", "image/gif", "image/svg+xml",
                          "image/webp", "video/quicktime", "video/*", "audio/*", "audio/mpeg",
                          "application/pdf", "application/json", "text/plain"}};
}

} // namespace zevra
