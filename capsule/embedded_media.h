#pragma once

#include <map>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zevra {

// One carried medium, pointing into the parsed capsule (which must outlive the map).
struct EmbeddedMedium {
    std::string_view mime;
    std::string_view dataBase64;

    // "data:" + mime + ";base64," + data, appended without a full-size temporary.
    void appendDataURL(std::string& out) const;
};

// Carried media by their source URL, a later asset replacing an earlier one. Only assets whose
// "mime" is a plain media type and whose "data_base64" holds only Base64 characters are taken:
// the data URL is written unescaped into attributes and a style sheet, so any other character
// could end them.
using EmbeddedMediaMap = std::map<std::string_view, EmbeddedMedium, std::less<>>;

[[nodiscard]] EmbeddedMediaMap embeddedMediaMap(const nlohmann::json& capsule);

// type "/" subtype, both non-empty, of letters, digits, ".", "+" and "-".
[[nodiscard]] bool isPlainMediaType(std::string_view mime);

} // namespace zevra
