#include "server/request_path.h"

#include "base/percent_encoding.h"
#include "base/utf8.h"

namespace zevra {
std::optional<std::string> removingPercentEncoding(std::string_view text) {
    auto decoded = percentDecoded(text);
    if (!decoded || !isValidUtf8(*decoded)) {
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
