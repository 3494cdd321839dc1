#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The user's project folder whose documents the viewer shows: "ZEVRA_WORKSPACE_ROOT" when set
// and not empty, otherwise "~/Desktop/vintaro-agent"; absent when nothing is there. Read on
// every use, so a folder made later counts at once.
[[nodiscard]] std::optional<std::filesystem::path> workspaceRoot();

// The folder of local HTML tools: "tools" in the resources when it exists, otherwise
// "ZEVRA_VIBE_TOOLS_ROOT" when set, not empty and existing; otherwise absent.
[[nodiscard]] std::optional<std::filesystem::path>
vibeToolsRoot(const std::filesystem::path& resourcesPath);

// The file a workspace path names when the viewer may show it: inside "_deploy/kelmor" or
// ".ai-sync" (strictly) or the hand-off note, both as written and with symbolic links
// resolved, and a regular file. The resolved path, so reading it cannot be redirected.
[[nodiscard]] std::optional<std::filesystem::path> allowedWorkspaceFile(std::string_view path);

// The loopback page that shows one workspace file.
[[nodiscard]] std::string workspaceViewURL(std::string_view path);

// The path with every "<home>/" written as "~/", as shown to the user.
[[nodiscard]] std::string homeAbbreviated(std::string_view path);

} // namespace zevra
