#pragma once

#include "platform/application.h"
#include "platform/headless/headless_web_view.h"

#include <functional>
#include <vector>

namespace zevra {

// A floating window without a display: it records how it was made and fronted, and a test
// closes it as the user would.
class HeadlessFloatingWindow final : public FloatingWindow {
public:
    // `open` lists the windows not yet destroyed; the window takes itself off when it goes.
    HeadlessFloatingWindow(FloatingWindowDescription description, WebViewDelegate& delegate,
                           std::function<void()> closed,
                           std::vector<HeadlessFloatingWindow*>& open);
    ~HeadlessFloatingWindow() override;
    HeadlessFloatingWindow(const HeadlessFloatingWindow&) = delete;
    HeadlessFloatingWindow& operator=(const HeadlessFloatingWindow&) = delete;

    [[nodiscard]] WebView& webView() override { return view_; }
    void bringToFront() override { ++frontCount_; }

    [[nodiscard]] const FloatingWindowDescription& description() const { return description_; }
    [[nodiscard]] HeadlessWebView& headlessWebView() { return view_; }
    [[nodiscard]] int frontCount() const { return frontCount_; }
    // The user closing the window.
    void close();

private:
    const FloatingWindowDescription description_;
    HeadlessWebView view_;
    std::function<void()> closed_;
    std::vector<HeadlessFloatingWindow*>& open_;
    int frontCount_ = 0;
};

} // namespace zevra
