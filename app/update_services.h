#pragma once

#include "auth/pending_session_handoff_store.h"
#include "base/background_executor.h"
#include "platform/application.h"
#include "update/app_update_flow.h"
#include "update/extension_update_flow.h"
#include "update/update_defaults.h"
#include "update/update_flow_state.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace zevra {

// The app and extension update flows over the running application's services: the release
// host, its alerts and main thread, the desktop's handlers, the user's folders and settings.
class UpdateServices {
public:
    // `sessionToken` is read on a transfer thread; `quitApplication` runs on the main thread.
    UpdateServices(Application& application,
                   std::function<std::optional<std::string>()> sessionToken,
                   std::function<void()> quitApplication);
    // Transfers still running give up at their next progress report.
    ~UpdateServices();
    UpdateServices(const UpdateServices&) = delete;
    UpdateServices& operator=(const UpdateServices&) = delete;

    // Main thread. Silent: the checks after launch; otherwise the menu's items.
    void checkForAppUpdates(bool silent) { app_.checkForUpdates(silent); }
    void checkForExtensionUpdates(bool silent);

private:
    std::atomic<bool> stopping_{false};
    UpdateFlowState state_;
    UpdateDefaults defaults_;
    const PendingSessionHandoffStore handoff_;
    AppUpdateFlow app_;
    ExtensionUpdateFlow extension_;
    // Last, so transfers still queued finish before the flows go.
    BackgroundExecutor transfers_{2};

    [[nodiscard]] UpdateEnvironment environment(Application& application);
};

} // namespace zevra
