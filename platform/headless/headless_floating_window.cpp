#include "platform/headless/headless_floating_window.h"
#include "platform/debug_log.h"

#include <algorithm>
#include <utility>

namespace zevra {

HeadlessFloatingWindow::HeadlessFloatingWindow(FloatingWindowDescription description,
                                               WebViewDelegate& delegate,
                                               std::function<void()> closed,
                                               std::vector<HeadlessFloatingWindow*>& open)
    : description_(std::move(description)), view_(description_.webView, delegate),
      closed_(std::move(closed)), open_(open) {
    open_.push_back(this);
    debugLine("floating window: " + description_.title);
}

HeadlessFloatingWindow::~HeadlessFloatingWindow() {
    std::erase(open_, this);
}

void HeadlessFloatingWindow::close() {
    if (closed_) {
        std::exchange(closed_, nullptr)();
    }
}

} // namespace zevra
