#pragma once

#include <string_view>

namespace zevra {

// The rules an archive entry name must meet on its own: at most 1024 characters in at most 32
// "/"-separated pieces, no leading "/", no "\" or "//", no "." or ".." piece, non-empty pieces
// of at most 255 characters (a directory's trailing "/" aside), and no control character.
[[nodiscard]] bool archiveEntryNameIsSafe(std::string_view name);

} // namespace zevra
