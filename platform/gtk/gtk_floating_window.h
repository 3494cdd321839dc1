#pragma once

#include "platform/application.h"

#include <functional>
#include <memory>

typedef struct _GtkWidget GtkWidget;

namespace zevra {

class GtkWebView;

// A toplevel window asking the window manager to keep it above the others, holding one web view
// of the default web context (so it shares the main view's cookies).
class GtkFloatingWindow final : public FloatingWindow {
public:
    GtkFloatingWindow(const FloatingWindowDescription& description, WebViewDelegate& delegate,
                      std::function<void()> closed);
    ~GtkFloatingWindow() override;
    GtkFloatingWindow(const GtkFloatingWindow&) = delete;
    GtkFloatingWindow& operator=(const GtkFloatingWindow&) = delete;

    [[nodiscard]] WebView& webView() override;
    void bringToFront() override;

private:
    GtkWidget* window_ = nullptr;
    std::unique_ptr<GtkWebView> view_;
    std::function<void()> closed_;
    unsigned int closeSource_ = 0; // GLib source id of the pending `closed`, 0 when none

    static int onDelete(GtkWidget* window, void* event, void* data);
};

} // namespace zevra
