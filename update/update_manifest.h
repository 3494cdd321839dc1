#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zevra {

// The app release manifest ("zevra-app-latest.json").
struct ZevraUpdateManifest {
    std::string schemaVersion;
    std::string product;
    std::string channel;
    std::string version;
    std::optional<std::string> build;
    std::string architecture;
    std::string minimumMacOS;
    std::string downloadURL;
    std::string sha256;
    std::optional<std::int64_t> bytes;
    std::optional<std::string> releaseNotesURL;
    std::optional<std::vector<std::string>> notes;
};

// The extension release manifest ("zevra-extension-latest.json").
struct ZevraExtensionUpdateManifest {
    std::string schemaVersion;
    std::string product;
    std::string channel;
    std::string version;
    std::string platform;
    std::string downloadURL;
    std::string sha256;
    std::optional<std::int64_t> bytes;
    std::optional<std::string> installNotesURL;
    std::optional<std::vector<std::string>> notes;
};

// Strict decoding: a missing required key, a wrong JSON type (a string or a fraction for an
// integer), or an integer outside 64-bit signed range makes the document unreadable. Unknown
// keys are ignored; an optional key holding null counts as absent.
[[nodiscard]] std::optional<ZevraUpdateManifest> decodeZevraUpdateManifest(std::string_view body);
[[nodiscard]] std::optional<ZevraExtensionUpdateManifest>
decodeZevraExtensionUpdateManifest(std::string_view body);

} // namespace zevra
