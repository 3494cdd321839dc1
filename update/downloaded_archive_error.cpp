#include "update/downloaded_archive_error.h"

#include "base/ascii.h"
#include "build_config.h"
#include "update/archive_entries.h"
#include "update/manifest_acceptance.h"
#include "update/sha256_file.h"
#include "update/trusted_response.h"

namespace zevra {

std::optional<std::string> downloadedArchiveError(const std::filesystem::path& file,
                                                  const std::optional<ReleaseResponse>& response,
                                                  std::string_view expectedURL,
                                                  std::string_view sha256,
                                                  std::optional<std::int64_t> expectedBytes,
                                                  const ArchiveLimits& limits) {
    if (!exactTrustedResponseURL(response, expectedURL, "application/zip")) {
        return std::string("The download did not come from the trusted ") + config::ReleaseHost +
               " release host.";
    }
    if (!isSHA256Text(sha256)) {
        return std::string("The release manifest has an invalid SHA-256 value.");
    }
    // Opened once: the size, the digest and the listings all describe these very bytes. The
    // download is our own file, so a link in its place is refused.
    const auto archive = ReadOnlyFile::open(file, ReadOnlyFile::Links::refuse);
    if (!archive || archive->size() < 1 || archive->size() > limits.maxArchiveBytes) {
        return std::string("The release archive exceeds the approved download-size limit.");
    }
    if (expectedBytes && *expectedBytes >= 1 && *expectedBytes != archive->size()) {
        return "Size verification failed (received " + std::to_string(archive->size()) +
               ", expected " + std::to_string(*expectedBytes) + " bytes).";
    }
    const auto digest = sha256File(*archive);
    if (!digest || *digest != asciiLowerCase(std::string(sha256))) {
        return std::string("SHA-256 verification failed. The archive was not installed.");
    }
    if (!archiveEntriesAreSafe(*archive, limits.maxEntries, limits.maxUncompressedBytes,
                               limits.maxMemberBytes)) {
        return std::string(
            "The release archive contains unsafe paths, special entries, collisions, or "
            "excessive expansion.");
    }
    return std::nullopt;
}

} // namespace zevra
