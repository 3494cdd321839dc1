#pragma once

#include "platform/application.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace zevra {

// The application without a display: the event loop runs posted work, windows are recorded.
class HeadlessApplication final : public Application {
public:
    void run(std::function<void()> didFinishLaunching) override;
    void quit() override;
    void postToMain(std::function<void()> work) override;
    void showMainWindow(const MainWindowDescription& window) override;
    void restoreMainWindow() override;
    void showDocumentWindow(const DocumentWindowDescription& window) override;
    [[nodiscard]] bool hasDisplay() const override { return false; }

    // What the windows were asked to do, for tests.
    [[nodiscard]] std::optional<MainWindowDescription> mainWindow() const;
    [[nodiscard]] int mainWindowRestoreCount() const;
    [[nodiscard]] std::vector<DocumentWindowDescription> documentWindows() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool quitRequested_ = false;
    std::optional<MainWindowDescription> mainWindow_;
    int restoreCount_ = 0;
    std::vector<DocumentWindowDescription> documentWindows_;
};

} // namespace zevra
