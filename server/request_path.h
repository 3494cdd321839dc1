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

// A request target read as a URL's path and query, without its fragment; absent when it is
// not well-formed URL text.
struct TargetComponents {
    std::string_view path;
    std::string_view query;
};
[[nodiscard]] std::optional<TargetComponents> targetComponents(std::string_view rawPath);

// The decoded value of the first query item called `name`; absent when there is no such item,
// it has no "=" or its value does not decode. "+" stays "+".
[[nodiscard]] std::optional<std::string> firstQueryValue(std::string_view query,
                                                         std::string_view name);

// The decoded value of the target's first query item called `name`, as above.
[[nodiscard]] std::optional<std::string> queryItemValue(std::string_view rawPath,
                                                        std::string_view name);

} // namespace zevra
