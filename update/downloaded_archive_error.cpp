#include "update/downloaded_archive_error.h"

#include "base/ascii.h"
#include "build_config.h"
#include "update/archive_entries.h"
#include "update/manifest_acceptance.h"
#include "update/sha256_file.h"
#include "update/trusted_response.h"

#include <system_error>

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
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size < 1 || size > static_cast<std::uintmax_t>(limits.maxArchiveBytes)) {
        return std::string("The release archive exceeds the approved download-size limit.");
    }
    if (expectedBytes && *expectedBytes >= 1 &&
        static_cast<std::uintmax_t>(*expectedBytes) != size) {
        return "Size verification failed (received " + std::to_string(size) + ", expected " +
               std::to_string(*expectedBytes) + " bytes).";
    }
    const auto digest = sha256File(file);
    if (!digest || *digest != asciiLowerCase(std::string(sha256))) {
        return std::string("SHA-256 verification failed. The archive was not installed.");
    }
    if (!archiveEntriesAreSafe(file, limits.maxEntries, limits.maxUncompressedBytes,
                               limits.maxMemberBytes)) {
        return std::string(
            "The release archive contains unsafe paths, special entries, collisions, or "
            "excessive expansion.");
    }
    return std::nullopt;
}

} // namespace zevra
