#include "platform/headless/headless_application.h"
#include "platform/debug_log.h"

#include <algorithm>

namespace zevra {
namespace {

class HeadlessTimer final : public MainThreadTimer {
public:
    explicit HeadlessTimer(std::shared_ptr<std::atomic<bool>> cancelled)
        : cancelled_(std::move(cancelled)) {}
    ~HeadlessTimer() override { cancelled_->store(true); }
    HeadlessTimer(const HeadlessTimer&) = delete;
    HeadlessTimer& operator=(const HeadlessTimer&) = delete;

private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

} // namespace

void HeadlessApplication::run(std::function<void()> didFinishLaunching) {
    if (didFinishLaunching) {
        didFinishLaunching();
    }
    for (;;) {
        fireDueTimers();
        std::function<void()> work;
        {
            std::unique_lock lock(mutex_);
            const auto ready = [this] { return quitRequested_ || !queue_.empty(); };
            if (const auto due = nextTimerDue()) {
                wake_.wait_until(lock, *due, ready);
            } else {
                wake_.wait(lock, ready);
            }
            if (queue_.empty()) {
                if (quitRequested_) {
                    return;
                }
                continue;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

void HeadlessApplication::fireDueTimers() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(timers_, [](const Timer& timer) { return timer.cancelled->load(); });
    std::vector<Timer> due;
    for (Timer& timer : timers_) {
        if (timer.due > now) {
            continue;
        }
        due.push_back(timer);
        if (timer.repeats) {
            timer.due = now + timer.interval;
        } else {
            timer.fire = nullptr; // done
        }
    }
    std::erase_if(timers_, [](const Timer& timer) { return !timer.fire; });
    // A timer may cancel another that is due in the same turn.
    for (const Timer& timer : due) {
        if (!timer.cancelled->load()) {
            timer.fire();
        }
    }
}

std::optional<std::chrono::steady_clock::time_point> HeadlessApplication::nextTimerDue() const {
    const auto earliest =
        std::min_element(timers_.begin(), timers_.end(),
                         [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (earliest == timers_.end()) {
        return std::nullopt;
    }
    return earliest->due;
}

void HeadlessApplication::quit() {
    const std::lock_guard lock(mutex_);
    quitRequested_ = true;
    wake_.notify_all();
}

void HeadlessApplication::postToMain(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
    wake_.notify_all();
}

WebView& HeadlessApplication::showMainWindow(const MainWindowDescription& window,
                                             WebViewDelegate& delegate) {
    const std::lock_guard lock(mutex_);
    if (mainWebView_ == nullptr) {
        mainWindow_ = window;
        mainWindowBackgroundColor_ = window.backgroundColor;
        mainWebView_ = std::make_unique<HeadlessWebView>(window.webView, delegate);
    }
    return *mainWebView_;
}

void HeadlessApplication::restoreMainWindow() {
    const std::lock_guard lock(mutex_);
    ++restoreCount_;
    debugLine("main window restored");
}

void HeadlessApplication::setMainWindowBackgroundColor(const std::string& color) {
    const std::lock_guard lock(mutex_);
    if (mainWindow_.has_value()) {
        mainWindowBackgroundColor_ = color;
    }
}

void HeadlessApplication::showDocumentWindow(const DocumentWindowDescription& window) {
    const std::lock_guard lock(mutex_);
    documentWindows_.push_back(window);
    debugLine("document window: " + window.title);
}

std::unique_ptr<FloatingWindow>
HeadlessApplication::openFloatingWindow(const FloatingWindowDescription& window,
                                        WebViewDelegate& delegate, std::function<void()> closed) {
    return std::make_unique<HeadlessFloatingWindow>(window, delegate, std::move(closed),
                                                    floatingWindows_);
}

void HeadlessApplication::setMainMenu(const std::vector<Menu>& menus) {
    const std::lock_guard lock(mutex_);
    menus_ = menus;
}

std::size_t HeadlessApplication::runModalAlert(const AlertDescription& alert) {
    const std::lock_guard lock(mutex_);
    alerts_.push_back(alert);
    debugLine("alert: " + alert.message + ": " + alert.informativeText);
    if (alertAnswers_.empty()) {
        return 0;
    }
    const std::size_t answer = alertAnswers_.front();
    alertAnswers_.pop_front();
    return answer;
}

std::unique_ptr<MainThreadTimer>
HeadlessApplication::scheduleTimer(std::chrono::milliseconds interval, bool repeats,
                                   std::function<void()> fire) {
    // A zero interval would keep a repeating timer from ever letting the loop wait.
    interval = std::max(interval, std::chrono::milliseconds(1));
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    timers_.push_back({std::chrono::steady_clock::now() + interval, interval, repeats,
                       std::move(fire), cancelled});
    return std::make_unique<HeadlessTimer>(std::move(cancelled));
}

std::optional<MainWindowDescription> HeadlessApplication::mainWindow() const {
    const std::lock_guard lock(mutex_);
    return mainWindow_;
}

int HeadlessApplication::mainWindowRestoreCount() const {
    const std::lock_guard lock(mutex_);
    return restoreCount_;
}

std::string HeadlessApplication::mainWindowBackgroundColor() const {
    const std::lock_guard lock(mutex_);
    return mainWindowBackgroundColor_;
}

std::vector<DocumentWindowDescription> HeadlessApplication::documentWindows() const {
    const std::lock_guard lock(mutex_);
    return documentWindows_;
}

std::vector<Menu> HeadlessApplication::mainMenu() const {
    const std::lock_guard lock(mutex_);
    return menus_;
}

std::vector<AlertDescription> HeadlessApplication::alerts() const {
    const std::lock_guard lock(mutex_);
    return alerts_;
}

void HeadlessApplication::queueAlertAnswer(std::size_t button) {
    const std::lock_guard lock(mutex_);
    alertAnswers_.push_back(button);
}

} // namespace zevra
