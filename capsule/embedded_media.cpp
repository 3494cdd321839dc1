#include "capsule/embedded_media.h"

#include <algorithm>

#include "base/json_members.h"
#include "capsule/base64_decode.h"

namespace zevra {
namespace {

bool isMediaTypeToken(std::string_view token) {
    return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        return letter || digit || c == '.' || c == '+' || c == '-';
    });
}

} // namespace

bool isPlainMediaType(std::string_view mime) {
    const std::size_t slash = mime.find('/');
    if (slash == std::string_view::npos) {
        return false;
    }
    return isMediaTypeToken(mime.substr(0, slash)) && isMediaTypeToken(mime.substr(slash + 1));
}

void EmbeddedMedium::appendDataURL(std::string& out) const {
    out += "data:";
    out += mime;
    out += ";base64,";
    out += dataBase64;
}

EmbeddedMediaMap embeddedMediaMap(const nlohmann::json& capsule) {
    EmbeddedMediaMap media;
    const nlohmann::json* assets = objectListMember(capsule, "assets");
    if (assets == nullptr) {
        return media;
    }
    for (const nlohmann::json& asset : *assets) {
        const std::string* sourceURL = stringMember(asset, "source_url");
        const std::string* mime = stringMember(asset, "mime");
        const std::string* data = stringMember(asset, "data_base64");
        if (sourceURL == nullptr || mime == nullptr || data == nullptr) {
            continue;
        }
        if (!isPlainMediaType(*mime) || !isBase64AlphabetText(*data)) {
            continue;
        }
        media.insert_or_assign(std::string_view(*sourceURL), EmbeddedMedium{*mime, *data});
    }
    return media;
}

} // namespace zevra
