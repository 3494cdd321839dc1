#pragma once

#include "update/manifest_acceptance.h"
#include "update/update_defaults.h"
#include "update/update_environment.h"
#include "update/update_flow_state.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zevra {

struct ExtensionUpdateSettings {
    std::string manifestURL = extensionManifestURL();
    // "~/Desktop/ZEVRA Field Kit": the stable folder the user loads in Chrome lives there.
    std::filesystem::path kitFolder;
    // Where an installed copy's "manifest.json" may be, in order.
    std::vector<std::filesystem::path> localManifests;
    UpdateDefaults* defaults = nullptr;
    // Chrome showing its extensions page; the release host's install page when it cannot start.
    std::vector<std::string> chromeExtensionsCommand{"/usr/bin/google-chrome",
                                                     "chrome://extensions"};
};

// The kit folder and the two manifest places below `home`.
[[nodiscard]] ExtensionUpdateSettings extensionUpdateSettings(const std::filesystem::path& home,
                                                              UpdateDefaults& defaults);

// Keeps the unpacked browser-extension folder current: a quiet notice of a newer version once
// per version, and the verified download swapped into the stable folder with a one-step
// rollback.
class ExtensionUpdateFlow {
public:
    ExtensionUpdateFlow(UpdateEnvironment environment, ExtensionUpdateSettings settings,
                        UpdateFlowState& state);

    // Main thread. The background check shows nothing but the offer.
    void checkForExtensionUpdateNotice();
    // Main thread; the menu action and the offer's button.
    void updateChromeExtensionFolder();

private:
    const UpdateEnvironment environment_;
    const ExtensionUpdateSettings settings_;
    UpdateFlowState& state_;

    [[nodiscard]] std::filesystem::path stableFolder() const;
    void noticeInBackground();
    void promptForExtensionUpdate(const ZevraExtensionUpdateManifest& manifest);
    void updateInBackground();
    // The failure's description; nothing when the stable folder holds the new version.
    [[nodiscard]] std::optional<std::string>
    installFolder(const ZevraExtensionUpdateManifest& manifest,
                  const std::filesystem::path& download) const;
    void showExtensionUpdatedPrompt(const std::string& version);
    void openChromeExtensionsPage();
    void fail(const std::string& title, const std::string& detail);
};

} // namespace zevra
