#include "update/app_update_flow.h"

#include "platform/atomic_file.h"
#include "update/download_progress.h"
#include "update/release_limits.h"
#include "update/release_transfer.h"
#include "update/trusted_release_url.h"
#include "update/update_installer_script.h"
#include "update/version.h"

#include <unistd.h>

namespace zevra {
namespace {

std::string releaseSummary(const ZevraUpdateManifest& manifest, const std::string& localVersion) {
    std::string notes;
    if (manifest.notes) {
        for (std::size_t i = 0; i < manifest.notes->size() && i < 3; ++i) {
            notes += (i == 0 ? "- " : "\n- ") + (*manifest.notes)[i];
        }
    }
    return "You are running ZEVRA " + localVersion + ".\n\n" + notes;
}

AlertDescription updatePrompt(const ZevraUpdateManifest& manifest, const std::string& localVersion,
                              bool packageManaged) {
    const auto summary = releaseSummary(manifest, localVersion);
    const auto title = "ZEVRA " + manifest.version + " is available";
    if (packageManaged) {
        // The package manager owns this copy: nothing is downloaded or replaced here.
        return {AlertStyle::Informational,
                title,
                summary + "\n\nThis copy of ZEVRA was installed by the package manager; update "
                          "it there to get the new version.",
                {"OK", "Release Page"}};
    }
    return {AlertStyle::Informational,
            title,
            summary + "\n\nZEVRA can download the update, replace this app, and relaunch. If "
                      "macOS blocks replacement, the zip will be shown in Finder.",
            {"Install and Relaunch", "Later", "Release Page"}};
}

} // namespace

std::vector<std::filesystem::path> installerToolPaths() {
    return {"/usr/bin/ditto", "/usr/bin/codesign", "/usr/libexec/PlistBuddy",
            "/usr/bin/lipo",  "/usr/bin/open",     "/usr/bin/uuidgen"};
}

bool isPackageManagedBundle(const std::filesystem::path& bundlePath) {
    const auto path = bundlePath.lexically_normal();
    auto part = path.begin();
    return path.is_absolute() && ++part != path.end() && *part == "opt" && ++part != path.end() &&
           *part == "zevra";
}

AppUpdateFlow::AppUpdateFlow(UpdateEnvironment environment, AppUpdateSettings settings,
                             UpdateFlowState& state)
    : environment_(std::move(environment)), settings_(std::move(settings)), state_(state) {}

void AppUpdateFlow::release() {
    state_.release(UpdateFlowState::Flow::app);
}

void AppUpdateFlow::fail(const std::string& title, const std::string& detail) {
    release();
    showUpdateMessage(environment_, title, detail);
}

void AppUpdateFlow::checkForUpdates(bool silent) {
    if (!state_.begin(UpdateFlowState::Flow::app)) {
        if (!silent) {
            showUpdateMessage(environment_, "Update already running",
                              "ZEVRA is already checking or preparing an app update.");
        }
        return;
    }
    if (!environment_.runInBackground([this, silent] { checkInBackground(silent); })) {
        release();
    }
}

void AppUpdateFlow::checkInBackground(bool silent) {
    const auto fetch =
        fetchRelease(*environment_.http, settings_.manifestURL, manifestTransferMaxBytes);
    const auto accepted = acceptAppManifest(fetch.body, fetch.response);
    if (!accepted) {
        release();
        if (!silent) {
            showUpdateMessage(environment_, "Could not check for updates",
                              fetch.response ? "The update manifest was not readable."
                                             : fetch.failure);
        }
        return;
    }
    if (!versionIsNewer(accepted->manifest.version, settings_.currentVersion)) {
        release();
        if (!silent) {
            showUpdateMessage(environment_, "ZEVRA is up to date",
                              "You are running ZEVRA " + settings_.currentVersion + ".");
        }
        return;
    }
    environment_.postToMain([this, accepted = *accepted] { promptForUpdate(accepted); });
}

void AppUpdateFlow::promptForUpdate(const AcceptedAppManifest& accepted) {
    const auto& manifest = accepted.manifest;
    const bool packageManaged = isPackageManagedBundle(settings_.bundlePath);
    const auto prompt = updatePrompt(manifest, settings_.currentVersion, packageManaged);
    const auto answer = environment_.runAlert(prompt);
    if (answer == 0 && !packageManaged) {
        downloadAndInstallUpdate(manifest);
        return;
    }
    release();
    if (answer + 1 == prompt.buttons.size() && manifest.releaseNotesURL) {
        if (const auto page = trustedReleaseURL(*manifest.releaseNotesURL)) {
            static_cast<void>(environment_.openURL(page->absoluteString));
        }
    }
}

void AppUpdateFlow::downloadAndInstallUpdate(const ZevraUpdateManifest& manifest) {
    const auto url = trustedReleaseArchiveURL(manifest.downloadURL,
                                              "ZEVRA-app-arm64-v" + manifest.version + ".zip");
    if (!url) {
        fail("Update failed", "The update URL is invalid.");
        return;
    }
    if (!environment_.runInBackground(
            [this, manifest, url = url->absoluteString] { downloadInBackground(manifest, url); })) {
        release();
    }
}

void AppUpdateFlow::downloadInBackground(const ZevraUpdateManifest& manifest,
                                         const std::string& url) {
    const auto download = downloadWithProgress(
        environment_,
        {"Downloading ZEVRA " + manifest.version, "ZEVRA " + manifest.version + " is downloading."},
        url, manifest.sha256, manifest.bytes, appArchiveLimits);
    if (!download) {
        release(); // cancelled
        return;
    }
    if (!download->file) {
        fail(download->verificationFailed ? "Update verification failed" : "Download failed",
             download->message);
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(environment_.downloadsFolder, error);
    const auto saved = environment_.downloadsFolder / ("ZEVRA-app-" + manifest.version + ".zip");
    std::filesystem::remove(saved, error);
    if (!std::filesystem::copy_file(download->file->path(), saved, error)) {
        fail("Update failed", "Could not save update: " + error.message());
        return;
    }
    launchUpdateInstaller(saved, manifest.version);
}

void AppUpdateFlow::launchUpdateInstaller(const std::filesystem::path& zip,
                                          const std::string& version) {
    const auto token = settings_.sessionToken();
    if (token && !settings_.handoff->stage(*token, version)) {
        fail("Update paused", "ZEVRA could not prepare the one-time session handoff. The current "
                              "app is unchanged and remains signed in.");
        return;
    }
    if (!writeAndStartInstaller(zip, version)) {
        settings_.handoff->discard();
        release();
        environment_.reveal(zip);
        showUpdateMessage(environment_, "Update downloaded",
                          "ZEVRA could not replace itself automatically, so the update zip was "
                          "shown in Finder.");
        return;
    }
    // The script gives this process 20 seconds to end.
    environment_.postToMain(settings_.quitApplication);
}

bool AppUpdateFlow::writeAndStartInstaller(const std::filesystem::path& zip,
                                           const std::string& version) const {
    for (const auto& tool : settings_.installerTools) {
        if (::access(tool.c_str(), X_OK) != 0) {
            return false;
        }
    }
    const auto uuid = newUUIDString(*environment_.random);
    if (uuid.empty()) {
        return false;
    }
    const auto script = environment_.temporaryFolder / ("zevra-update-" + uuid + ".sh");
    if (!writeFileAtomically(script, hardenedUpdateInstallerScript, 0755)) {
        return false;
    }
    return environment_.startProgram({"/bin/bash", script.string(), zip.string(),
                                      settings_.bundlePath.string(), version,
                                      std::to_string(settings_.processId), "launch"});
}

} // namespace zevra
