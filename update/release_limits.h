#pragma once

#include <cstdint>

namespace zevra {

// Largest manifest body accepted, and largest extension "manifest.json" read.
inline constexpr std::int64_t releaseManifestMaxBytes = 65536;

inline constexpr std::int64_t appMaxArchiveBytes = 536870912;
inline constexpr std::int64_t appMaxArchiveEntries = 512;
inline constexpr std::int64_t appMaxUncompressedBytes = 536870912;
inline constexpr std::int64_t appMaxMemberBytes = 268435456;

inline constexpr std::int64_t extensionMaxArchiveBytes = 33554432;
inline constexpr std::int64_t extensionMaxArchiveEntries = 256;
inline constexpr std::int64_t extensionMaxUncompressedBytes = 33554432;
inline constexpr std::int64_t extensionMaxMemberBytes = 8388608;

// The longest download URL and the notes a manifest may carry.
inline constexpr std::int64_t manifestMaxDownloadURLCharacters = 2048;
inline constexpr std::size_t manifestMaxNotes = 8;
inline constexpr std::int64_t manifestMaxNoteCharacters = 500;

inline constexpr const char* minimumCompatibleExtensionVersion = "1.6.11";

// The four limits of one kind of archive.
struct ArchiveLimits {
    std::int64_t maxArchiveBytes;
    std::int64_t maxEntries;
    std::int64_t maxUncompressedBytes;
    std::int64_t maxMemberBytes;
};

inline constexpr ArchiveLimits appArchiveLimits{appMaxArchiveBytes, appMaxArchiveEntries,
                                                appMaxUncompressedBytes, appMaxMemberBytes};
inline constexpr ArchiveLimits extensionArchiveLimits{
    extensionMaxArchiveBytes, extensionMaxArchiveEntries, extensionMaxUncompressedBytes,
    extensionMaxMemberBytes};

} // namespace zevra
