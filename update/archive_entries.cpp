#include "update/archive_entries.h"

#include "update/bounded_process_output.h"
#include "update/zip_listing.h"

namespace zevra {

bool archiveEntriesAreSafe(const std::filesystem::path& archive, std::int64_t maxEntries,
                           std::int64_t maxUncompressedBytes, std::int64_t maxMemberBytes) {
    const auto names =
        boundedProcessOutput("/usr/bin/unzip", {"-Z1", archive.string()}, zipNameListingMaxBytes);
    if (!names) {
        return false;
    }
    const auto listing =
        boundedProcessOutput("/usr/bin/zipinfo", {"-l", archive.string()}, zipLongListingMaxBytes);
    if (!listing) {
        return false;
    }
    return zipListingIsSafe(*names, *listing, maxEntries, maxUncompressedBytes, maxMemberBytes);
}

} // namespace zevra
