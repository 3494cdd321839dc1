#include "server/request_path.h"

#include "base/percent_encoding.h"
#include "base/utf8.h"

#include <algorithm>

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

std::optional<TargetComponents> targetComponents(std::string_view rawPath) {
    if (!isWellFormedURLText(rawPath)) {
        return std::nullopt;
    }
    const auto target = rawPath.substr(0, std::min(rawPath.find('#'), rawPath.size()));
    const auto question = std::min(target.find('?'), target.size());
    return TargetComponents{target.substr(0, question),
                            question < target.size() ? target.substr(question + 1) : ""};
}

std::optional<std::string> firstQueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const auto end = std::min(query.find('&'), query.size());
        const auto item = query.substr(0, end);
        const auto equals = std::min(item.find('='), item.size());
        if (removingPercentEncoding(item.substr(0, equals)) == std::string(name)) {
            if (equals == item.size()) {
                return std::nullopt;
            }
            return removingPercentEncoding(item.substr(equals + 1));
        }
        query.remove_prefix(std::min(end + 1, query.size()));
    }
    return std::nullopt;
}

std::optional<std::string> queryItemValue(std::string_view rawPath, std::string_view name) {
    const auto target = targetComponents(rawPath);
    return target ? firstQueryValue(target->query, name) : std::nullopt;
}

} // namespace zevra
