#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// A request target cut at its first "?": the path ("/" read as "/index.html", then
// percent-decoded) and the raw query.
struct NormalisedPath {
    std::string path;
    std::string query;
};

[[nodiscard]] NormalisedPath normalisedPath(std::string_view rawPath);

// Percent-decoding; absent on an invalid escape or when the result is not UTF-8.
[[nodiscard]] std::optional<std::string> removingPercentEncoding(std::string_view text);

} // namespace zevra
