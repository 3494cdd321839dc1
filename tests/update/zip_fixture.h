#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zevra::testing {

inline constexpr unsigned regularFileMode = 0100644;
inline constexpr unsigned directoryMode = 040755;
inline constexpr unsigned symbolicLinkMode = 0120777;

struct ZipFixtureEntry {
    std::string name;
    std::string data;
    std::optional<unsigned> mode = regularFileMode; // absent: no file-type bits
    std::string method = "stored";                  // "stored", "deflated" or "bzip2"
    std::string extraHex;                           // an extra field, as hex
};

// A directory entry "name" (ending in "/").
ZipFixtureEntry zipDirectory(const std::string& name);

// A symbolic link entry "name" pointing at `target`.
ZipFixtureEntry zipSymbolicLink(const std::string& name, const std::string& target);

// Writes the archive with Python's zipfile; `streamed` gives every entry a data descriptor.
void writeZipFixture(const std::filesystem::path& path, const std::vector<ZipFixtureEntry>& entries,
                     bool streamed = false);

// The smallest app-shaped archive: "ZEVRA.app/", "ZEVRA.app/Contents/" and its Info.plist.
std::vector<ZipFixtureEntry> appShapedEntries(const std::string& method);

} // namespace zevra::testing
