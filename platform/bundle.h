#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zevra {

// The running executable, "ZEVRA.app/Contents/MacOS/ZEVRA" in a built bundle.
std::filesystem::path executablePath();

// The executable's path with its last two components removed, plus "Resources".
std::filesystem::path resourcesPathForExecutable(const std::filesystem::path& executable);

// "Contents/Info.plist" beside the executable's folder.
std::filesystem::path infoPlistPathForExecutable(const std::filesystem::path& executable);

// A string entry of an Info.plist (XML or binary); absent when the file, the key or a string
// value is missing.
std::optional<std::string> infoPlistString(const std::filesystem::path& infoPlist,
                                           const std::string& key);

// A string entry of the main bundle's Info.plist, the bundle the running executable sits in.
std::optional<std::string> mainBundleInfoString(const std::string& key);

} // namespace zevra
