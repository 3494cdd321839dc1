#include "server/request_path.h"

#include "server/utf8_text.h"

namespace zevra {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<std::string> removingPercentEncoding(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            decoded.push_back(text[at]);
            continue;
        }
        if (at + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexValue(text[at + 1]);
        const int low = hexValue(text[at + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        decoded.push_back(static_cast<char>(high * 16 + low));
        at += 2;
    }
    if (!isValidUtf8(decoded)) {
        return std::nullopt;
    }
    return decoded;
}

NormalisedPath normalisedPath(std::string_view rawPath) {
    NormalisedPath result;
    const auto question = rawPath.find('?');
    std::string_view path = rawPath.substr(0, question);
    if (question != std::string_view::npos) {
        result.query = std::string(rawPath.substr(question + 1));
    }
    if (path == "/") {
        path = "/index.html";
    }
    result.path = removingPercentEncoding(path).value_or(std::string(path));
    return result;
}

} // namespace zevra
