// The first byte picks the target: the app manifest, the extension manifest, or a pair of zip
// listings (the names, a NUL, then the long listing). Nothing may crash, and the decoders and
// the listing rules must agree with what they promise.
#include "update/manifest_acceptance.h"
#include "update/release_limits.h"
#include "update/version.h"
#include "update/zip_listing.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

zevra::ReleaseResponse manifestResponse(const std::string& url) {
    return zevra::ReleaseResponse{200, url, "application/json"};
}

void checkAppManifest(std::string_view body) {
    const auto decoded = zevra::decodeZevraUpdateManifest(body);
    const auto accepted =
        zevra::acceptAppManifest(std::string(body), manifestResponse(zevra::updateManifestURL()));
    if (accepted && (!decoded || !zevra::isReleaseVersion(accepted->manifest.version) ||
                     !accepted->manifest.bytes || *accepted->manifest.bytes <= 0)) {
        std::abort();
    }
}

void checkExtensionManifest(std::string_view body) {
    const auto decoded = zevra::decodeZevraExtensionUpdateManifest(body);
    const auto response = manifestResponse(zevra::extensionManifestURL());
    const auto full = zevra::acceptExtensionManifest(std::string(body), response, false);
    const auto notice = zevra::acceptExtensionManifest(std::string(body), response, true);
    // The notice check skips one step, so it accepts everything the full check accepts.
    if ((full && !notice) || (notice && !decoded)) {
        std::abort();
    }
    if (decoded) {
        (void)zevra::versionIsNewer(decoded->version, zevra::minimumCompatibleExtensionVersion);
    }
}

void checkListing(std::string_view input) {
    const auto split = input.find('\0');
    const auto names = input.substr(0, split);
    const auto listing =
        split == std::string_view::npos ? std::string_view{} : input.substr(split + 1);
    const bool safe =
        zevra::zipListingIsSafe(names, listing, zevra::appMaxArchiveEntries,
                                zevra::appMaxUncompressedBytes, zevra::appMaxMemberBytes);
    // Tighter limits never accept more.
    if (!safe && zevra::zipListingIsSafe(names, listing, zevra::extensionMaxArchiveEntries,
                                         zevra::extensionMaxUncompressedBytes,
                                         zevra::extensionMaxMemberBytes)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        checkAppManifest(rest);
        break;
    case 1:
        checkExtensionManifest(rest);
        break;
    default:
        checkListing(rest);
        break;
    }
    return 0;
}
