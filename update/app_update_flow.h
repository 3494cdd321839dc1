#pragma once

#include "auth/pending_session_handoff_store.h"
#include "update/manifest_acceptance.h"
#include "update/update_environment.h"
#include "update/update_flow_state.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zevra {

// The macOS tools the installer script relies on; the app never quits into the script unless
// every one of them is there.
[[nodiscard]] std::vector<std::filesystem::path> installerToolPaths();

// True for a bundle the system's package manager put in place ("/opt/zevra/..."): that copy is
// replaced by the package manager, never by the app.
[[nodiscard]] bool isPackageManagedBundle(const std::filesystem::path& bundlePath);

struct AppUpdateSettings {
    std::string currentVersion;
    std::filesystem::path bundlePath;
    std::string manifestURL = updateManifestURL();
    // The signed-in session's token, if any; read on the transfer thread.
    std::function<std::optional<std::string>()> sessionToken;
    const PendingSessionHandoffStore* handoff = nullptr;
    // The application's normal shutdown; called on the main thread.
    std::function<void()> quitApplication;
    std::vector<std::filesystem::path> installerTools = installerToolPaths();
    int processId = 0;
};

// Checks the release host for a newer app, offers it, downloads and verifies the archive, saves
// it in the downloads folder, hands the session over and quits into the installer script.
class AppUpdateFlow {
public:
    AppUpdateFlow(UpdateEnvironment environment, AppUpdateSettings settings,
                  UpdateFlowState& state);

    // Main thread. The menu's check is not silent; the check after launch is.
    void checkForUpdates(bool silent);

private:
    const UpdateEnvironment environment_;
    const AppUpdateSettings settings_;
    UpdateFlowState& state_;

    void checkInBackground(bool silent);
    void promptForUpdate(const AcceptedAppManifest& accepted);
    void downloadAndInstallUpdate(const ZevraUpdateManifest& manifest);
    void downloadInBackground(const ZevraUpdateManifest& manifest, const std::string& url);
    void launchUpdateInstaller(const std::filesystem::path& zip, const std::string& version);
    [[nodiscard]] bool writeAndStartInstaller(const std::filesystem::path& zip,
                                              const std::string& version) const;
    void release();
    void fail(const std::string& title, const std::string& detail);
};

} // namespace zevra
