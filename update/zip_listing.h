#pragma once

#include <cstdint>
#include <string_view>

namespace zevra {

// Judges an archive from its two listings: `names` as "unzip -Z1" prints it and `longListing`
// as "zipinfo -l" prints it, paired entry by entry in order. True when every entry is a safe
// file or directory within the limits and no two entries collide.
[[nodiscard]] bool zipListingIsSafe(std::string_view names, std::string_view longListing,
                                    std::int64_t maxEntries, std::int64_t maxUncompressedBytes,
                                    std::int64_t maxMemberBytes);

} // namespace zevra
