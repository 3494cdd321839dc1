#pragma once

#include <string>
#include <string_view>

namespace zevra {

// Three dot-separated numbers, each "0" or up to six digits without a leading zero.
[[nodiscard]] bool isReleaseVersion(std::string_view version);

// True when `candidate` is strictly newer than `current`, comparing the numbers one by one.
[[nodiscard]] bool versionIsNewer(std::string_view candidate, std::string_view current);

// The main bundle's "CFBundleShortVersionString", or "0".
[[nodiscard]] std::string currentVersion();

} // namespace zevra
