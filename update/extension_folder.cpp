#include "update/extension_folder.h"

#include "update/approved_extension_files.h"
#include "update/bounded_process_output.h"
#include "update/extension_manifest_contract.h"
#include "update/release_limits.h"
#include "update/version.h"

#include <nlohmann/json.hpp>

namespace zevra {
namespace {

constexpr int contractErrorCode = 6;
constexpr std::int64_t unzipMessagesMaxBytes = 1048576;

ExtensionFolderError contractError() {
    return {contractErrorCode, "The unpacked extension failed its version/file contract."};
}

std::optional<nlohmann::json> readJSONObject(const std::filesystem::path& file) {
    const auto text = readRegularFile(file, releaseManifestMaxBytes);
    if (!text) {
        return std::nullopt;
    }
    auto object = nlohmann::json::parse(*text, nullptr, false);
    if (!object.is_object()) {
        return std::nullopt;
    }
    return object;
}

} // namespace

std::string knownLocalExtensionVersion(const std::vector<std::filesystem::path>& places) {
    std::string best = "0";
    for (const auto& place : places) {
        const auto manifest = readJSONObject(place);
        if (!manifest || manifest->value("name", nlohmann::json()) != "ZEVRA") {
            continue;
        }
        const auto version = manifest->value("version", nlohmann::json());
        if (version.is_string() && isReleaseVersion(version.get<std::string>()) &&
            versionIsNewer(version.get<std::string>(), best)) {
            best = version.get<std::string>();
        }
    }
    return best;
}

std::optional<ExtensionFolderError> unpackExtension(const ReadOnlyFile& archive,
                                                    const std::filesystem::path& staging) {
    const auto result = runBoundedProcess(
        "/usr/bin/unzip", {"-qq", sharedFilePath, "-d", staging.string()}, unzipMessagesMaxBytes,
        processOutputTimeLimit, systemClock(), archive.descriptor());
    if (!result) {
        return ExtensionFolderError{-1, "Could not unzip extension archive."};
    }
    if (result->exitStatus != 0) {
        return ExtensionFolderError{result->exitStatus, "Could not unzip extension archive."};
    }
    return std::nullopt;
}

std::optional<ExtensionFolderError> checkUnpackedExtension(const std::filesystem::path& staging,
                                                           const std::string& version) {
    if (!extensionFolderHoldsOnlyApprovedFiles(staging)) {
        return contractError();
    }
    const auto manifest = readJSONObject(staging / "manifest.json");
    if (!manifest || !extensionManifestHasApprovedCapabilities(*manifest, version)) {
        return contractError();
    }
    return std::nullopt;
}

std::string extensionInstallNote(const std::string& version,
                                 const std::filesystem::path& stableFolder,
                                 const std::filesystem::path& zip) {
    return "ZEVRA Chrome Extension " + version + "\n\nStable folder:\n" + stableFolder.string() +
           "\n\nLatest downloaded zip:\n" + zip.string() +
           "\n\nChrome install/update:\n1. Open chrome://extensions\n2. Enable Developer "
           "Mode\n3. If first install: Load unpacked -> select this folder\n4. If updating: click "
           "Reload on the ZEVRA extension card\n\nZEVRA.app can refresh this folder again "
           "from:\nZEVRA > Update Chrome Extension Folder...";
}

std::optional<ExtensionFolderError> swapExtensionFolder(const std::filesystem::path& staging,
                                                        const std::filesystem::path& stable,
                                                        const std::filesystem::path& previous) {
    std::error_code error;
    std::filesystem::remove_all(previous, error);
    if (std::filesystem::exists(stable, error)) {
        std::filesystem::rename(stable, previous, error);
        if (error) {
            return ExtensionFolderError{error.value(), error.message()};
        }
    }
    std::filesystem::rename(staging, stable, error);
    if (!error) {
        return std::nullopt;
    }
    const ExtensionFolderError failure{error.value(), error.message()};
    std::error_code ignored;
    if (std::filesystem::exists(previous, ignored)) {
        std::filesystem::rename(previous, stable, ignored);
    }
    return failure;
}

} // namespace zevra
