#include "update/version.h"

#include "base/ascii.h"
#include "platform/bundle.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace zevra {
namespace {

bool isVersionNumber(std::string_view piece) {
    if (piece.empty() || piece.size() > 6) {
        return false;
    }
    if (!isDecimalDigits(piece)) {
        return false;
    }
    return piece == "0" || piece.front() != '0';
}

// A piece that is not a valid decimal integer counts as 0.
std::int64_t versionNumber(std::string_view piece) {
    if (!piece.empty() && piece.front() == '+') {
        piece.remove_prefix(1);
        if (!piece.empty() && (piece.front() == '+' || piece.front() == '-')) {
            return 0;
        }
    }
    std::int64_t value = 0;
    const auto* end = piece.data() + piece.size();
    const auto [at, error] = std::from_chars(piece.data(), end, value);
    if (error != std::errc{} || at != end || piece.empty()) {
        return 0;
    }
    return value;
}

std::vector<std::int64_t> versionNumbers(std::string_view version) {
    std::vector<std::int64_t> numbers;
    while (!version.empty()) {
        const auto dot = version.find('.');
        const auto piece = version.substr(0, dot);
        if (!piece.empty()) {
            numbers.push_back(versionNumber(piece));
        }
        if (dot == std::string_view::npos) {
            break;
        }
        version.remove_prefix(dot + 1);
    }
    return numbers;
}

} // namespace

bool isReleaseVersion(std::string_view version) {
    int pieces = 0;
    while (true) {
        const auto dot = version.find('.');
        if (!isVersionNumber(version.substr(0, dot))) {
            return false;
        }
        ++pieces;
        if (dot == std::string_view::npos) {
            return pieces == 3;
        }
        if (pieces == 3) {
            return false;
        }
        version.remove_prefix(dot + 1);
    }
}

bool versionIsNewer(std::string_view candidate, std::string_view current) {
    const auto left = versionNumbers(candidate);
    const auto right = versionNumbers(current);
    const auto count = std::max(left.size(), right.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t a = i < left.size() ? left[i] : 0;
        const std::int64_t b = i < right.size() ? right[i] : 0;
        if (a != b) {
            return a > b;
        }
    }
    return false;
}

std::string currentVersion() {
    return mainBundleInfoString("CFBundleShortVersionString").value_or("0");
}

} // namespace zevra
