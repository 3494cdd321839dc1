#include "update/approved_extension_files.h"

#include "update/safe_regular_file_paths.h"

#include <algorithm>

namespace zevra {

const std::set<std::string>& approvedExtensionFiles() {
    static const std::set<std::string> files{
        "auth-bridge.js",   "background.js",    "content.js",           "extension-api.js",
        "manifest.json",    "popup-inline.js",  "popup.html",           "popup.js",
        "styles.css",       "vendor/gif.js",    "vendor/gif.worker.js", "icons/icon16.png",
        "icons/icon48.png", "icons/icon128.png"};
    return files;
}

bool extensionFolderHoldsOnlyApprovedFiles(const std::filesystem::path& folder) {
    const auto files = safeRegularFilePaths(folder);
    if (!files) {
        return false;
    }
    const auto& approved = approvedExtensionFiles();
    return std::includes(approved.begin(), approved.end(), files->begin(), files->end());
}

} // namespace zevra
