#include "server/http_framing.h"

#include "base/shell_address.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstddef>

namespace zevra {
namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string asciiLowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), asciiLower);
    return lowered;
}

bool startsWithIgnoringCase(std::string_view line, std::string_view lowerPrefix) {
    if (line.size() < lowerPrefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        if (asciiLower(line[i]) != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

std::string_view trimmedSpacesAndTabs(std::string_view value) {
    const auto first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = value.find_last_not_of(" \t");
    return value.substr(first, last - first + 1);
}

// The trimmed value of the first line that begins with `lowerKey` (the name and its colon).
std::optional<std::string_view> headerValue(std::string_view headers, std::string_view lowerKey) {
    std::size_t lineStart = 0;
    for (;;) {
        const auto lineEnd = headers.find("\r\n", lineStart);
        const auto line =
            headers.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                        : lineEnd - lineStart);
        if (startsWithIgnoringCase(line, lowerKey)) {
            return trimmedSpacesAndTabs(line.substr(lowerKey.size()));
        }
        if (lineEnd == std::string_view::npos) {
            return std::nullopt;
        }
        lineStart = lineEnd + 2;
    }
}

} // namespace

std::optional<std::string> parseHeader(std::string_view headers, std::string_view name) {
    const auto value = headerValue(headers, asciiLowered(name) + ":");
    if (!value) {
        return std::nullopt;
    }
    return std::string(*value);
}

long long parseContentLength(std::string_view headers) {
    const auto value = headerValue(headers, "content-length:");
    if (!value || value->empty()) {
        return 0;
    }
    std::string_view digits = *value;
    const bool negative = digits.front() == '-';
    if (digits.front() == '+' || digits.front() == '-') {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return 0;
    }
    unsigned long long magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error == std::errc::result_out_of_range ||
        magnitude > static_cast<unsigned long long>(LLONG_MAX)) {
        return negative ? LLONG_MIN : LLONG_MAX;
    }
    const auto result = static_cast<long long>(magnitude);
    return negative ? -result : result;
}

bool requestIsFromLocalShell(std::string_view headers) {
    const auto origin = headerValue(headers, "origin:").value_or("");
    if (isLocalShellOrigin(origin)) {
        return true;
    }
    return isLocalShellURL(headerValue(headers, "referer:").value_or(""), "/");
}

bool hostIsLocalShell(std::string_view headers) {
    const auto host = asciiLowered(headerValue(headers, "host:").value_or(""));
    return host == "127.0.0.1:18484" || host == "localhost:18484";
}

} // namespace zevra
