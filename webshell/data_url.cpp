#include "webshell/data_url.h"

#include <array>
#include <utility>

namespace zevra {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 7> dataURLTypes{{
    {"image/png", "png"},
    {"image/gif", "gif"},
    {"image/jpeg", "jpg"},
    {"video/mp4", "mp4"},
    {"video/webm", "webm"},
    {"image/webp", "webp"},
    {"image/svg", "svg"},
}};

std::string extensionFor(std::string_view header) {
    for (const auto& [type, extension] : dataURLTypes) {
        if (header.find(type) != std::string_view::npos) {
            return std::string(extension);
        }
    }
    return "bin";
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// Skips every character outside the alphabet (padding included); a lone trailing character
// carries less than a byte and is dropped.
std::vector<std::uint8_t> decodeBase64IgnoringUnknown(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const int value = base64Value(c);
        if (value < 0) {
            continue;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<std::uint8_t>((bits >> count) & 0xff));
        }
    }
    return bytes;
}

} // namespace

std::optional<DataURLDownload> handleDataURL(std::string_view url) {
    const auto comma = url.find(',');
    if (!url.starts_with("data:") || comma == std::string_view::npos) {
        return std::nullopt;
    }
    auto data = decodeBase64IgnoringUnknown(url.substr(comma + 1));
    if (data.empty()) {
        return std::nullopt;
    }
    return DataURLDownload{std::move(data), extensionFor(url.substr(5, comma - 5))};
}

} // namespace zevra
