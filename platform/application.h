#pragma once

#include "platform/alert.h"
#include "platform/main_thread_timer.h"
#include "platform/menu.h"
#include "platform/progress_window.h"
#include "platform/web_view.h"
#include "platform/web_view_delegate.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zevra {

struct MainWindowDescription {
    std::string title;
    int width = 0;
    int height = 0;
    int minimumWidth = 0;
    int minimumHeight = 0;
    std::string backgroundColor; // "#rrggbb"; the web view draws none, so pages show it
    WebViewConfiguration webView;
};

// A small window kept above the others, with a web view of its own that shares the main view's
// cookies and storage.
struct FloatingWindowDescription {
    std::string title;
    int x = 0;
    int y = 0;
    int width = 0; // of the web view
    int height = 0;
    int minimumWidth = 0;
    int minimumHeight = 0;
    WebViewConfiguration webView;
};

// An open floating window; destroying it closes the window.
class FloatingWindow {
public:
    virtual ~FloatingWindow() = default;
    [[nodiscard]] virtual WebView& webView() = 0;
    virtual void bringToFront() = 0;
};

struct DocumentWindowDescription {
    std::string title;
    int width = 0;
    int height = 0;
    std::string html; // loaded by length with no base URL
};

// The application object: event loop, main thread, windows, menus, alerts and timers. One
// backend per toolkit.
class Application {
public:
    virtual ~Application() = default;

    // Runs the event loop on the calling (main) thread until quit() is called.
    virtual void run(std::function<void()> didFinishLaunching) = 0;
    // Ends the event loop; safe from any thread.
    virtual void quit() = 0;
    // Runs work on the main thread later; safe from any thread.
    virtual void postToMain(std::function<void()> work) = 0;

    // Creates the main window with its web view, which asks `delegate` (kept for the life of
    // the application), and returns the view. When the window exists it is shown again and its
    // view returned unchanged.
    virtual WebView& showMainWindow(const MainWindowDescription& window,
                                    WebViewDelegate& delegate) = 0;
    // Brings the main window back (also after it was closed) and to the front.
    virtual void restoreMainWindow() = 0;
    // "#rrggbb"; does nothing before the main window exists.
    virtual void setMainWindowBackgroundColor(const std::string& color) = 0;
    // Opens a window of its own showing one document page.
    virtual void showDocumentWindow(const DocumentWindowDescription& window) = 0;

    // Opens a floating window whose view asks `delegate` (which must outlive the window).
    // `closed` runs on the main thread when the user closes it; the window is gone from the
    // screen by then, and the object only waits to be destroyed.
    [[nodiscard]] virtual std::unique_ptr<FloatingWindow>
    openFloatingWindow(const FloatingWindowDescription& window, WebViewDelegate& delegate,
                       std::function<void()> closed) = 0;

    // Replaces the application's menus.
    virtual void setMainMenu(const std::vector<Menu>& menus) = 0;
    // Shows a modal alert on the main thread and returns the index of the button chosen.
    [[nodiscard]] virtual std::size_t runModalAlert(const AlertDescription& alert) = 0;
    // Opens a progress window; `cancel` runs on the main thread when the user asks to stop.
    // Main thread only.
    [[nodiscard]] virtual std::unique_ptr<ProgressWindow>
    showProgressWindow(const ProgressDescription& /*progress*/, std::function<void()> /*cancel*/) {
        return std::make_unique<HiddenProgressWindow>();
    }
    // Calls `fire` on the main thread after `interval`, and every `interval` after that when
    // repeating, until the returned timer is destroyed. Main thread only.
    [[nodiscard]] virtual std::unique_ptr<MainThreadTimer>
    scheduleTimer(std::chrono::milliseconds interval, bool repeats, std::function<void()> fire) = 0;

    // False for the headless backend.
    [[nodiscard]] virtual bool hasDisplay() const = 0;
};

// The GTK application when a display can be opened, otherwise the headless one.
std::unique_ptr<Application> makeApplication();

} // namespace zevra
