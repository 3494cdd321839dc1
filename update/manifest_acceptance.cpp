#include "update/manifest_acceptance.h"

#include "base/unicode_text.h"
#include "build_config.h"
#include "update/release_limits.h"
#include "update/trusted_release_url.h"
#include "update/trusted_response.h"
#include "update/version.h"

#include <algorithm>

namespace zevra {
namespace {

constexpr std::string_view manifestSchema = "zevra-release-manifest-v1";
constexpr std::string_view manifestMIME = "application/json";

// Steps shared by both manifests: the response, then the body's presence and size.
bool bodyMayBeDecoded(const std::optional<std::string>& data,
                      const std::optional<ReleaseResponse>& response, const std::string& expected) {
    if (!exactTrustedResponseURL(response, expected, manifestMIME) || !data) {
        return false;
    }
    return static_cast<std::int64_t>(data->size()) <= releaseManifestMaxBytes;
}

bool bytesWithin(const std::optional<std::int64_t>& bytes, std::int64_t maxBytes) {
    return bytes && *bytes > 0 && *bytes <= maxBytes;
}

bool downloadURLAndNotesWithinLimits(const std::string& downloadURL,
                                     const std::optional<std::vector<std::string>>& notes) {
    if (!hasAtMostCharacters(downloadURL, manifestMaxDownloadURLCharacters)) {
        return false;
    }
    if (!notes) {
        return true;
    }
    if (notes->size() > manifestMaxNotes) {
        return false;
    }
    return std::all_of(notes->begin(), notes->end(), [](const std::string& note) {
        return hasAtMostCharacters(note, manifestMaxNoteCharacters);
    });
}

} // namespace

std::string updateManifestURL() {
    return std::string("https://") + config::ReleaseHost + "/downloads/zevra-app-latest.json";
}

std::string extensionManifestURL() {
    return std::string("https://") + config::ReleaseHost + "/downloads/zevra-extension-latest.json";
}

bool isSHA256Text(std::string_view text) {
    if (text.size() != 64) {
        return false;
    }
    for (const char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) {
            return false;
        }
    }
    return true;
}

std::optional<AcceptedAppManifest>
acceptAppManifest(const std::optional<std::string>& data,
                  const std::optional<ReleaseResponse>& response) {
    if (!bodyMayBeDecoded(data, response, updateManifestURL())) {
        return std::nullopt;
    }
    auto manifest = decodeZevraUpdateManifest(*data);
    if (!manifest) {
        return std::nullopt;
    }
    if (manifest->schemaVersion != manifestSchema || manifest->product != "zevra-macos-app" ||
        manifest->channel != "direct" || !isReleaseVersion(manifest->version)) {
        return std::nullopt;
    }
    if (manifest->build && *manifest->build != manifest->version) {
        return std::nullopt;
    }
    if (manifest->architecture != "arm64" || manifest->minimumMacOS != "12.0" ||
        !isSHA256Text(manifest->sha256) || !bytesWithin(manifest->bytes, appMaxArchiveBytes)) {
        return std::nullopt;
    }
    if (!downloadURLAndNotesWithinLimits(manifest->downloadURL, manifest->notes)) {
        return std::nullopt;
    }
    auto archiveURL = trustedReleaseArchiveURL(manifest->downloadURL,
                                               "ZEVRA-app-arm64-v" + manifest->version + ".zip");
    if (!archiveURL) {
        return std::nullopt;
    }
    return AcceptedAppManifest{std::move(*manifest), std::move(*archiveURL)};
}

std::optional<AcceptedExtensionManifest>
acceptExtensionManifest(const std::optional<std::string>& data,
                        const std::optional<ReleaseResponse>& response, bool forNotice) {
    if (!bodyMayBeDecoded(data, response, extensionManifestURL())) {
        return std::nullopt;
    }
    auto manifest = decodeZevraExtensionUpdateManifest(*data);
    if (!manifest) {
        return std::nullopt;
    }
    if (manifest->schemaVersion != manifestSchema ||
        manifest->product != "zevra-browser-extension" || manifest->channel != "direct" ||
        manifest->platform != "chromium" || !isReleaseVersion(manifest->version)) {
        return std::nullopt;
    }
    if (manifest->version != minimumCompatibleExtensionVersion &&
        !versionIsNewer(manifest->version, minimumCompatibleExtensionVersion)) {
        return std::nullopt;
    }
    if (!isSHA256Text(manifest->sha256) ||
        !bytesWithin(manifest->bytes, extensionMaxArchiveBytes)) {
        return std::nullopt;
    }
    if (!forNotice && !downloadURLAndNotesWithinLimits(manifest->downloadURL, manifest->notes)) {
        return std::nullopt;
    }
    auto archiveURL = trustedReleaseArchiveURL(manifest->downloadURL,
                                               "zevra-extension-v" + manifest->version + ".zip");
    if (!archiveURL) {
        return std::nullopt;
    }
    return AcceptedExtensionManifest{std::move(*manifest), std::move(*archiveURL)};
}

} // namespace zevra
