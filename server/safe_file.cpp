#include "server/safe_file.h"

#include <string>
#include <system_error>

namespace zevra {
namespace {

// Lexical clean-up first, then symbolic links, so "a/link/.." is "a" whatever the link is.
std::optional<std::filesystem::path> standardisedResolved(const std::filesystem::path& path) {
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    if (error) {
        return std::nullopt;
    }
    auto resolved = std::filesystem::weakly_canonical(absolute.lexically_normal(), error);
    if (error) {
        return std::nullopt;
    }
    return resolved;
}

} // namespace

std::optional<std::filesystem::path> safeFile(const std::filesystem::path& root,
                                              std::string_view relativePath) {
    if (relativePath.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const auto base = standardisedResolved(root);
    if (!base) {
        return std::nullopt;
    }
    // Appended as text: a leading "/" in the relative path must not replace the root.
    std::string joined = base->string();
    joined.push_back('/');
    joined.append(relativePath);
    const auto candidate = standardisedResolved(joined);
    if (!candidate) {
        return std::nullopt;
    }
    std::string prefix = base->string();
    if (!prefix.ends_with('/')) {
        prefix.push_back('/');
    }
    if (!candidate->string().starts_with(prefix) || candidate->string().size() == prefix.size()) {
        return std::nullopt;
    }
    return candidate;
}

} // namespace zevra
