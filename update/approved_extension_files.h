#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace zevra {

// The files an unpacked browser extension may hold, relative to its folder.
[[nodiscard]] const std::set<std::string>& approvedExtensionFiles();

// True when the folder holds only regular files, all of them approved (a subset: not every
// approved file has to be there), and no symbolic link or special file.
[[nodiscard]] bool extensionFolderHoldsOnlyApprovedFiles(const std::filesystem::path& folder);

} // namespace zevra
