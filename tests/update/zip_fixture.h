#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zevra::testing {

struct ZipFixtureEntry {
    std::string name;
    std::string data;
    std::optional<unsigned> mode = 0100644; // absent: no file-type bits
    std::string method = "deflated";        // "stored", "deflated" or "bzip2"
};

inline ZipFixtureEntry zipLink(const std::string& name, const std::string& target) {
    return {name, target, 0120777};
}

// Writes the archive with Python's zipfile; `streamed` gives every entry a data descriptor.
void writeZipFixture(const std::filesystem::path& path, const std::vector<ZipFixtureEntry>& entries,
                     bool streamed = false);

// The smallest app-shaped archive: "ZEVRA.app/", "ZEVRA.app/Contents/" and its Info.plist.
std::vector<ZipFixtureEntry> appShapedEntries();

} // namespace zevra::testing
