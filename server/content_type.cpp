#include "server/content_type.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace zevra {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 17> contentTypes{{
    {"html", "text/html; charset=utf-8"},
    {"js", "application/javascript"},
    {"css", "text/css"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"svg", "image/svg+xml"},
    {"ico", "image/x-icon"},
    {"json", "application/json"},
    {"webp", "image/webp"},
    {"mp4", "video/mp4"},
    {"mp3", "audio/mpeg"},
    {"webm", "video/webm"},
    {"woff2", "font/woff2"},
    {"woff", "font/woff"},
    {"ttf", "font/ttf"},
}};

} // namespace

std::string_view contentTypeForFile(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1); // the dot
    }
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    for (const auto& [known, type] : contentTypes) {
        if (known == extension) {
            return type;
        }
    }
    return "application/octet-stream";
}

} // namespace zevra
