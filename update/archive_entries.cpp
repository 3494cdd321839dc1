#include "update/archive_entries.h"

#include "update/bounded_process_output.h"
#include "update/zip_listing.h"

namespace zevra {
namespace {

// The tools are handed the open descriptor, never the archive's name: they read a name as a
// wildcard pattern ("[", "*", "?") and a leading "-" as an option.
std::optional<std::string> listing(const ReadOnlyFile& archive, const char* tool,
                                   const char* option, std::int64_t maxBytes) {
    return boundedProcessOutput(tool, {option, sharedFilePath}, maxBytes, processOutputTimeLimit,
                                systemClock(), archive.descriptor());
}

} // namespace

bool archiveEntriesAreSafe(const std::filesystem::path& archive, std::int64_t maxEntries,
                           std::int64_t maxUncompressedBytes, std::int64_t maxMemberBytes) {
    const auto file = ReadOnlyFile::open(archive, ReadOnlyFile::Links::follow);
    if (!file) {
        return false;
    }
    return archiveEntriesAreSafe(*file, maxEntries, maxUncompressedBytes, maxMemberBytes);
}

bool archiveEntriesAreSafe(const ReadOnlyFile& archive, std::int64_t maxEntries,
                           std::int64_t maxUncompressedBytes, std::int64_t maxMemberBytes) {
    const auto names = listing(archive, "/usr/bin/unzip", "-Z1", zipNameListingMaxBytes);
    if (!names) {
        return false;
    }
    const auto longListing = listing(archive, "/usr/bin/zipinfo", "-l", zipLongListingMaxBytes);
    if (!longListing) {
        return false;
    }
    return zipListingIsSafe(*names, *longListing, maxEntries, maxUncompressedBytes, maxMemberBytes);
}

} // namespace zevra
