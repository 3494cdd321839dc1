#include "webshell/data_url_payload.h"

#include "base/ascii.h"
#include "base/hex.h"

#include <array>
#include <utility>

namespace zevra {
namespace {

constexpr std::size_t headerStart = 5; // after "data:"

// Media types whose downloads get a named extension; tried in this order.
constexpr std::array<std::pair<std::string_view, std::string_view>, 11> extensionsByType{{
    {"image/gif", "gif"},
    {"image/png", "png"},
    {"image/jpeg", "jpg"},
    {"video/mp4", "mp4"},
    {"video/webm", "webm"},
    {"image/webp", "webp"},
    {"image/svg", "svg"},
    {"text/csv", "csv"},
    {"text/plain", "txt"},
    {"application/json", "json"},
    {"application/pdf", "pdf"},
}};

std::string extensionFor(std::string_view header) {
    for (const auto& [type, extension] : extensionsByType) {
        if (header.find(type) != std::string_view::npos) {
            return std::string(extension);
        }
    }
    return "bin";
}

int sextet(char c) {
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
    return c == '/' ? 63 : -1;
}

// Pages hand over Base64 with line breaks, spaces or stray padding; everything outside the
// alphabet is skipped. A single sextet left over holds no whole byte and is refused.
std::optional<std::string> decodeLenientBase64(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    unsigned bits = 0;
    int held = 0;
    int sextets = 0;
    for (const char c : text) {
        const int value = sextet(c);
        if (value < 0) {
            continue;
        }
        ++sextets;
        bits = (bits << 6) | static_cast<unsigned>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<char>((bits >> held) & 0xff));
        }
    }
    if (sextets % 4 == 1) {
        return std::nullopt;
    }
    return bytes;
}

// Escapes that are not "%" and two hexadecimal digits stay as written, as browsers keep them.
std::string decodePercentLeniently(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const int high = at + 2 < text.size() && text[at] == '%' ? hexDigitValue(text[at + 1]) : -1;
        const int low = high >= 0 ? hexDigitValue(text[at + 2]) : -1;
        if (low < 0) {
            bytes.push_back(text[at]);
            continue;
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
        at += 2;
    }
    return bytes;
}

bool saysBase64(std::string_view header) {
    return asciiLowerCase(std::string(header)).find(";base64") != std::string::npos;
}

} // namespace

std::optional<DataURLPayload> decodeDataURL(std::string_view url) {
    const auto comma = url.find(',');
    if (comma == std::string_view::npos || comma < headerStart) {
        return std::nullopt;
    }
    const std::string_view header = url.substr(headerStart, comma - headerStart);
    const std::string_view text = url.substr(comma + 1);
    if (text.size() > maximumDataURLPayloadText) {
        return std::nullopt;
    }
    std::optional<std::string> bytes =
        saysBase64(header) ? decodeLenientBase64(text) : decodePercentLeniently(text);
    if (!bytes || bytes->size() > maximumDownloadBytes) {
        return std::nullopt;
    }
    return DataURLPayload{std::move(*bytes), extensionFor(header)};
}

} // namespace zevra
