#include "search/local_roots.h"

#include "base/percent_encoding.h"
#include "base/shell_address.h"
#include "platform/paths.h"

#include <cstdlib>

namespace zevra {
namespace {

std::optional<std::string> nonEmptyEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

// A folder path made standard: no "." or ".." steps and no trailing separator.
std::filesystem::path standardFolder(const std::filesystem::path& path) {
    auto normal = path.lexically_normal();
    if (!normal.has_filename() && normal.has_parent_path() && normal != normal.root_path()) {
        normal = normal.parent_path();
    }
    return normal;
}

std::optional<std::filesystem::path> existing(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return std::nullopt;
    }
    return path;
}

bool isStrictlyInside(const std::filesystem::path& file, const std::filesystem::path& folder) {
    return file.native().starts_with(folder.native() + "/");
}

struct AllowedEntry {
    std::string_view name;
    bool folder; // a folder allows what is strictly inside it; a file only itself
};

constexpr AllowedEntry allowedWorkspaceEntries[] = {
    {"_deploy/kelmor", true}, {".ai-sync", true}, {"GANDRO_HANDOFF_APRIL4.md", false}};

} // namespace

std::optional<std::filesystem::path> workspaceRoot() {
    const auto configured = nonEmptyEnvironment("ZEVRA_WORKSPACE_ROOT");
    return existing(standardFolder(configured ? std::filesystem::path(*configured)
                                              : homeFolder() / "Desktop" / "vintaro-agent"));
}

std::optional<std::filesystem::path> vibeToolsRoot(const std::filesystem::path& resourcesPath) {
    if (auto bundled = existing(standardFolder(resourcesPath / "tools"))) {
        return bundled;
    }
    const auto configured = nonEmptyEnvironment("ZEVRA_VIBE_TOOLS_ROOT");
    if (!configured) {
        return std::nullopt;
    }
    return existing(standardFolder(*configured));
}

std::optional<std::filesystem::path> allowedWorkspaceFile(std::string_view path) {
    const auto root = workspaceRoot();
    const std::filesystem::path candidate = std::filesystem::path(path).lexically_normal();
    if (!root || !candidate.is_absolute() || path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::error_code error;
    const auto resolvedRoot = std::filesystem::canonical(*root, error);
    const auto resolved = std::filesystem::canonical(candidate, error);
    if (error || !std::filesystem::is_regular_file(resolved, error) ||
        !isStrictlyInside(resolved, resolvedRoot)) {
        return std::nullopt;
    }
    for (const auto& [name, folder] : allowedWorkspaceEntries) {
        const auto entry = (*root / name).lexically_normal();
        const bool allowedAsWritten =
            folder ? isStrictlyInside(candidate, entry) : candidate == entry;
        if (!allowedAsWritten) {
            continue;
        }
        // Links are resolved on both sides too: a link inside an allowed folder that points out
        // of it (a cloned repository can carry one) shows nothing.
        std::error_code entryError;
        const auto resolvedEntry = std::filesystem::canonical(resolvedRoot / name, entryError);
        if (!entryError &&
            (folder ? isStrictlyInside(resolved, resolvedEntry) : resolved == resolvedEntry)) {
            return resolved;
        }
    }
    return std::nullopt;
}

std::string workspaceViewURL(std::string_view path) {
    std::string url(loopbackBase);
    url.append("/workspace-view?path=");
    url.append(percentEncodedForQueryValue(path));
    return url;
}

std::string homeAbbreviated(std::string_view path) {
    const std::string home = homeFolder().string() + "/";
    std::string shown(path);
    for (std::size_t at = shown.find(home); at != std::string::npos;
         at = shown.find(home, at + 2)) {
        shown.replace(at, home.size(), "~/");
    }
    return shown;
}

} // namespace zevra
