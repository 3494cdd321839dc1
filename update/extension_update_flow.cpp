#include "update/extension_update_flow.h"

#include "build_config.h"
#include "platform/atomic_file.h"
#include "update/download_progress.h"
#include "update/extension_folder.h"
#include "update/release_limits.h"
#include "update/release_transfer.h"
#include "update/trusted_release_url.h"
#include "update/version.h"

namespace zevra {

ExtensionUpdateSettings extensionUpdateSettings(const std::filesystem::path& home,
                                                UpdateDefaults& defaults) {
    ExtensionUpdateSettings settings;
    settings.kitFolder = home / "Desktop/ZEVRA Field Kit";
    settings.localManifests = {home / "Desktop/vintaro-agent/_deploy/zevra-extension/manifest.json",
                               settings.kitFolder / "Chrome Extension/manifest.json"};
    settings.defaults = &defaults;
    return settings;
}

ExtensionUpdateFlow::ExtensionUpdateFlow(UpdateEnvironment environment,
                                         ExtensionUpdateSettings settings, UpdateFlowState& state)
    : environment_(std::move(environment)), settings_(std::move(settings)), state_(state) {}

std::filesystem::path ExtensionUpdateFlow::stableFolder() const {
    return settings_.kitFolder / "Chrome Extension";
}

void ExtensionUpdateFlow::fail(const std::string& title, const std::string& detail) {
    state_.release(UpdateFlowState::Flow::extension);
    showUpdateMessage(environment_, title, detail);
}

void ExtensionUpdateFlow::checkForExtensionUpdateNotice() {
    static_cast<void>(environment_.runInBackground([this] { noticeInBackground(); }));
}

void ExtensionUpdateFlow::noticeInBackground() {
    const auto fetch =
        fetchRelease(*environment_.http, settings_.manifestURL, manifestTransferMaxBytes);
    const auto accepted = acceptExtensionManifest(fetch.body, fetch.response, true);
    if (!accepted) {
        return;
    }
    const auto& defaults = *settings_.defaults;
    const auto prepared = defaults.string(preparedExtensionVersionKey).value_or("0");
    const auto known = knownLocalExtensionVersion(settings_.localManifests);
    const auto& baseline = versionIsNewer(known, prepared) ? known : prepared;
    const auto& version = accepted->manifest.version;
    if (!versionIsNewer(version, baseline) ||
        defaults.string(dismissedExtensionVersionKey) == version) {
        return;
    }
    environment_.postToMain(
        [this, manifest = accepted->manifest] { promptForExtensionUpdate(manifest); });
}

void ExtensionUpdateFlow::promptForExtensionUpdate(const ZevraExtensionUpdateManifest& manifest) {
    const auto answer = environment_.runAlert(
        {AlertStyle::Informational,
         "ZEVRA extension " + manifest.version + " is available",
         "This update keeps browser identity, the native app, @tarvik, and Sorvex on the same "
         "release family. ZEVRA can verify and prepare the unpacked folder; Chrome requires one "
         "Reload click for manually installed extensions.",
         {"Prepare Update", "Not Now", "Install Page"}});
    if (answer == 0) {
        updateChromeExtensionFolder();
        return;
    }
    if (answer == 2 && manifest.installNotesURL) {
        if (const auto page = trustedReleaseURL(*manifest.installNotesURL)) {
            static_cast<void>(environment_.openURL(page->absoluteString));
            return;
        }
    }
    static_cast<void>(settings_.defaults->set(dismissedExtensionVersionKey, manifest.version));
}

void ExtensionUpdateFlow::updateChromeExtensionFolder() {
    if (!state_.begin(UpdateFlowState::Flow::extension)) {
        showUpdateMessage(environment_, "Extension update already running",
                          "ZEVRA is already downloading or installing the extension folder.");
        return;
    }
    if (!environment_.runInBackground([this] { updateInBackground(); })) {
        state_.release(UpdateFlowState::Flow::extension);
    }
}

void ExtensionUpdateFlow::updateInBackground() {
    const auto check =
        fetchRelease(*environment_.http, settings_.manifestURL, manifestTransferMaxBytes);
    const auto accepted = acceptExtensionManifest(check.body, check.response, false);
    if (!accepted) {
        fail("Could not check extension update",
             check.response ? "The extension update manifest was not readable." : check.failure);
        return;
    }
    const auto& manifest = accepted->manifest;
    const auto& url = accepted->archiveURL.absoluteString;
    const auto download =
        downloadWithProgress(environment_,
                             {"Downloading the ZEVRA extension",
                              "ZEVRA extension " + manifest.version + " is downloading."},
                             url, manifest.sha256, manifest.bytes, extensionArchiveLimits);
    if (!download) {
        state_.release(UpdateFlowState::Flow::extension); // cancelled
        return;
    }
    if (!download->file) {
        fail(download->verificationFailed ? "Extension verification failed"
                                          : "Extension download failed",
             download->message);
        return;
    }
    if (const auto failure = installFolder(manifest, download->file->path())) {
        fail("Extension update failed", *failure);
        return;
    }
    state_.release(UpdateFlowState::Flow::extension);
    environment_.postToMain(
        [this, version = manifest.version] { showExtensionUpdatedPrompt(version); });
}

std::optional<std::string>
ExtensionUpdateFlow::installFolder(const ZevraExtensionUpdateManifest& manifest,
                                   const std::filesystem::path& download) const {
    std::error_code error;
    std::filesystem::create_directories(settings_.kitFolder, error);
    std::filesystem::create_directories(environment_.downloadsFolder, error);
    const auto zip =
        environment_.downloadsFolder / ("zevra-extension-" + manifest.version + ".zip");
    std::filesystem::remove(zip, error);
    if (!std::filesystem::copy_file(download, zip, error)) {
        return error.message();
    }
    const auto uuid = newUUIDString(*environment_.random);
    if (uuid.empty()) {
        return "The system's random generator failed.";
    }
    const auto staging = settings_.kitFolder / (".Chrome Extension.staging-" + uuid);
    std::filesystem::remove_all(staging, error);
    if (!std::filesystem::create_directory(staging, error)) {
        return error.message();
    }
    // From here on the staging folder goes whatever happens, unless it became the stable one.
    const auto failure = [&]() -> std::optional<std::string> {
        const auto archive = ReadOnlyFile::open(zip, ReadOnlyFile::Links::refuse);
        if (!archive) {
            return "Could not unzip extension archive.";
        }
        auto problem = unpackExtension(*archive, staging);
        if (!problem) {
            problem = checkUnpackedExtension(staging, manifest.version);
        }
        if (problem) {
            return problem->description;
        }
        const auto note = extensionInstallNote(manifest.version, stableFolder(), zip);
        if (!writeFileAtomically(staging / "README-ZEVRA-UPDATE.txt", note, 0644)) {
            return "Could not write the install note.";
        }
        problem = swapExtensionFolder(staging, stableFolder(),
                                      settings_.kitFolder / "Chrome Extension.previous");
        if (problem) {
            return problem->description;
        }
        return std::nullopt;
    }();
    if (failure) {
        std::error_code ignored;
        std::filesystem::remove_all(staging, ignored);
    }
    return failure;
}

void ExtensionUpdateFlow::showExtensionUpdatedPrompt(const std::string& version) {
    static_cast<void>(settings_.defaults->set(preparedExtensionVersionKey, version));
    static_cast<void>(settings_.defaults->remove(dismissedExtensionVersionKey));
    const auto folder = stableFolder();
    const auto answer = environment_.runAlert(
        {AlertStyle::Informational,
         "Chrome extension folder updated",
         "ZEVRA extension " + version + " was installed into:\n\n" + folder.string() +
             "\n\nIf Chrome already has this unpacked folder loaded, click Reload on the ZEVRA "
             "extension card. If this is the first install, choose Load unpacked and select this "
             "folder.",
         {"Open Chrome Extensions", "Show Folder", "OK"}});
    if (answer == 0) {
        openChromeExtensionsPage();
    } else if (answer == 1) {
        environment_.reveal(folder);
    }
}

void ExtensionUpdateFlow::openChromeExtensionsPage() {
    if (!environment_.startProgram(settings_.chromeExtensionsCommand)) {
        static_cast<void>(
            environment_.openURL(std::string("https://") + config::ReleaseHost + "/install"));
    }
}

} // namespace zevra
