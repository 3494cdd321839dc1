#include "platform/headless/headless_application.h"
#include "platform/debug_log.h"

namespace zevra {

void HeadlessApplication::run(std::function<void()> didFinishLaunching) {
    if (didFinishLaunching) {
        didFinishLaunching();
    }
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quitRequested_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
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

void HeadlessApplication::showMainWindow(const MainWindowDescription& window) {
    const std::lock_guard lock(mutex_);
    mainWindow_ = window;
}

void HeadlessApplication::restoreMainWindow() {
    const std::lock_guard lock(mutex_);
    ++restoreCount_;
    debugLine("main window restored");
}

void HeadlessApplication::showDocumentWindow(const DocumentWindowDescription& window) {
    const std::lock_guard lock(mutex_);
    documentWindows_.push_back(window);
    debugLine("document window: " + window.title);
}

std::optional<MainWindowDescription> HeadlessApplication::mainWindow() const {
    const std::lock_guard lock(mutex_);
    return mainWindow_;
}

int HeadlessApplication::mainWindowRestoreCount() const {
    const std::lock_guard lock(mutex_);
    return restoreCount_;
}

std::vector<DocumentWindowDescription> HeadlessApplication::documentWindows() const {
    const std::lock_guard lock(mutex_);
    return documentWindows_;
}

} // namespace zevra
