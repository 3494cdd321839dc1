#pragma once

#include "server/response_writer.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace zevra {

// The text shown for a workspace file: JSON pretty-printed, other UTF-8 text as it is, and
// nothing for unreadable, non-UTF-8 or oversized files.
[[nodiscard]] std::string workspacePreviewBody(const std::filesystem::path& file);

// The read-only page "/workspace-view?path=…" shows, or 404 "Not found." for a path the viewer
// may not show or a file above the size limit.
void sendWorkspaceView(ResponseWriter& writer, std::string_view rawPath);

// Larger files are not shown at all, so a link to a device or a huge file cannot stall a worker.
inline constexpr std::size_t largestWorkspacePreview = 8 * 1024 * 1024;

} // namespace zevra
