#pragma once

#include "base/read_only_file.h"

#include <cstdint>
#include <filesystem>

namespace zevra {

// Listing caps of the two zip tools.
inline constexpr std::int64_t zipNameListingMaxBytes = 4194304;
inline constexpr std::int64_t zipLongListingMaxBytes = 8388608;

// True when the zip archive may be unpacked: its entries, as "/usr/bin/unzip -Z1" and
// "/usr/bin/zipinfo -l" list them, pass every rule of `zipListingIsSafe` within the limits.
// Anything but a regular file is refused.
[[nodiscard]] bool archiveEntriesAreSafe(const std::filesystem::path& archive,
                                         std::int64_t maxEntries, std::int64_t maxUncompressedBytes,
                                         std::int64_t maxMemberBytes);

// The same for an archive already open; both tools read that very file.
[[nodiscard]] bool archiveEntriesAreSafe(const ReadOnlyFile& archive, std::int64_t maxEntries,
                                         std::int64_t maxUncompressedBytes,
                                         std::int64_t maxMemberBytes);

} // namespace zevra
