#include "webshell/download_filename.h"

#include "base/utf8.h"

#include <algorithm>

namespace zevra {
namespace {

constexpr std::size_t maximumCharacters = 180;
// Well below the file system's 255 bytes, leaving room for the time stamp and counter that
// make a taken name unique.
constexpr std::size_t maximumBytes = 200;
// A longer "extension" is only a dot late in a long name; it is cut like the rest.
constexpr std::size_t maximumKeptExtensionBytes = 16;

bool isReplaced(unsigned char c) {
    return c < 0x20 || c == 0x7f || c == '/' || c == ':' || c == '\\';
}

std::string_view lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The longest prefix of well-formed UTF-8 `text` with at most `characters` scalars and `bytes`
// bytes.
std::string_view cutOnCharacterBoundary(std::string_view text, std::size_t characters,
                                        std::size_t bytes) {
    std::size_t at = 0;
    for (std::size_t count = 0; at < text.size() && count < characters; ++count) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0 || at + length > bytes) {
            break;
        }
        at += length;
    }
    return text.substr(0, at);
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        const std::size_t length = utf8SequenceLength(text, at);
        at += length == 0 ? 1 : length;
    }
    return count;
}

std::string shortened(std::string_view name) {
    if (characterCount(name) <= maximumCharacters && name.size() <= maximumBytes) {
        return std::string(name);
    }
    const FilenameParts parts = splitFilename(name);
    if (parts.extension.empty() || parts.extension.size() > maximumKeptExtensionBytes) {
        return std::string(cutOnCharacterBoundary(name, maximumCharacters, maximumBytes));
    }
    const std::size_t suffixBytes = parts.extension.size() + 1;
    const std::size_t suffixCharacters = characterCount(parts.extension) + 1;
    std::string cut(cutOnCharacterBoundary(parts.stem, maximumCharacters - suffixCharacters,
                                           maximumBytes - suffixBytes));
    return cut.append(".").append(parts.extension);
}

} // namespace

FilenameParts splitFilename(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {name, {}};
    }
    return {name.substr(0, dot), name.substr(dot + 1)};
}

std::string safeDownloadFilename(const std::optional<std::string>& name,
                                 std::string_view fallbackExtension) {
    std::string fallback = "zevra-download." + std::string(fallbackExtension);
    if (!name) {
        return fallback;
    }
    const std::string text = utf8WithReplacement(*name);
    std::string component(lastPathComponent(text));
    std::replace_if(
        component.begin(), component.end(),
        [](char c) { return isReplaced(static_cast<unsigned char>(c)); }, '_');
    const std::string_view trimmed = trimmedWhiteSpaceAndLineBreaks(component);
    if (trimmed.empty() || trimmed == "." || trimmed == "..") {
        return fallback;
    }
    return shortened(trimmed);
}

} // namespace zevra
