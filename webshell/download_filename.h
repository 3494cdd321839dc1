#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// A file name for the downloads folder made from what a page or server suggested: the last path
// component only, control characters, DEL, "/", ":" and "\" turned into "_", white space trimmed,
// and at most 180 characters and 200 UTF-8 bytes, cut on a character boundary before the
// extension. Empty names, "." and ".." give "zevra-download." + `fallbackExtension`.
[[nodiscard]] std::string safeDownloadFilename(const std::optional<std::string>& name,
                                               std::string_view fallbackExtension);

// The name split before its last dot; a leading dot starts no extension.
struct FilenameParts {
    std::string_view stem;
    std::string_view extension; // without the dot, empty when there is none
};
[[nodiscard]] FilenameParts splitFilename(std::string_view name);

} // namespace zevra
