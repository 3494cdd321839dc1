#pragma once

#include "platform/application.h"
#include "platform/headless/headless_floating_window.h"
#include "platform/headless/headless_web_view.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zevra {

// The application without a display: the event loop runs posted work and timers; windows, web
// views and menus are recorded; alerts take their answers from a scripted queue.
class HeadlessApplication : public Application {
public:
    void run(std::function<void()> didFinishLaunching) override;
    void quit() override;
    void postToMain(std::function<void()> work) override;
    WebView& showMainWindow(const MainWindowDescription& window,
                            WebViewDelegate& delegate) override;
    void restoreMainWindow() override;
    void setMainWindowBackgroundColor(const std::string& color) override;
    void showDocumentWindow(const DocumentWindowDescription& window) override;
    [[nodiscard]] std::unique_ptr<FloatingWindow>
    openFloatingWindow(const FloatingWindowDescription& window, WebViewDelegate& delegate,
                       std::function<void()> closed) override;
    void setMainMenu(const std::vector<Menu>& menus) override;
    [[nodiscard]] std::size_t runModalAlert(const AlertDescription& alert) override;
    [[nodiscard]] std::unique_ptr<MainThreadTimer>
    scheduleTimer(std::chrono::milliseconds interval, bool repeats,
                  std::function<void()> fire) override;
    [[nodiscard]] bool hasDisplay() const override { return false; }

    // What the windows were asked to do, for tests.
    [[nodiscard]] std::optional<MainWindowDescription> mainWindow() const;
    // The main window's web view; null before showMainWindow. Main thread only.
    [[nodiscard]] HeadlessWebView* mainWebView() const { return mainWebView_.get(); }
    [[nodiscard]] int mainWindowRestoreCount() const;
    [[nodiscard]] std::string mainWindowBackgroundColor() const;
    [[nodiscard]] std::vector<DocumentWindowDescription> documentWindows() const;
    [[nodiscard]] std::vector<Menu> mainMenu() const;
    // Floating windows not yet destroyed, oldest first. Main thread only.
    [[nodiscard]] const std::vector<HeadlessFloatingWindow*>& floatingWindows() const {
        return floatingWindows_;
    }
    // Alerts shown so far, and the answers (button indexes) the next ones will get; with no
    // answer queued an alert gets its first, default button.
    [[nodiscard]] std::vector<AlertDescription> alerts() const;
    void queueAlertAnswer(std::size_t button);

private:
    struct Timer {
        std::chrono::steady_clock::time_point due;
        std::chrono::milliseconds interval;
        bool repeats = false;
        std::function<void()> fire;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool quitRequested_ = false;
    std::optional<MainWindowDescription> mainWindow_;
    std::unique_ptr<HeadlessWebView> mainWebView_;
    int restoreCount_ = 0;
    std::string mainWindowBackgroundColor_;
    std::vector<DocumentWindowDescription> documentWindows_;
    std::vector<Menu> menus_;
    std::vector<HeadlessFloatingWindow*> floatingWindows_; // main thread only
    std::vector<AlertDescription> alerts_;
    std::deque<std::size_t> alertAnswers_;
    std::vector<Timer> timers_; // main thread only

    void fireDueTimers();
    [[nodiscard]] std::optional<std::chrono::steady_clock::time_point> nextTimerDue() const;
};

} // namespace zevra
