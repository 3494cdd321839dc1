#pragma once

#include "base/read_only_file.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zevra {

// Why preparing the extension folder failed, in the words shown to the user; `code` is the
// unpacking tool's exit status or 6 for a folder that breaks the file or manifest contract.
struct ExtensionFolderError {
    int code = 0;
    std::string description;
};

// The newest valid "ZEVRA" extension version among the manifests at `places`, or "0".
[[nodiscard]] std::string
knownLocalExtensionVersion(const std::vector<std::filesystem::path>& places);

// Unpacks the archive with "/usr/bin/unzip" reading the open file, into the empty `staging`.
[[nodiscard]] std::optional<ExtensionFolderError>
unpackExtension(const ReadOnlyFile& archive, const std::filesystem::path& staging);

// Approved files only, and a manifest with the approved capabilities naming `version`.
[[nodiscard]] std::optional<ExtensionFolderError>
checkUnpackedExtension(const std::filesystem::path& staging, const std::string& version);

// The note left in the new folder telling how to load or reload it in Chrome.
[[nodiscard]] std::string extensionInstallNote(const std::string& version,
                                               const std::filesystem::path& stableFolder,
                                               const std::filesystem::path& zip);

// Moves `staging` into `stable`, keeping the folder there as `previous`; when the last rename
// fails, `previous` goes back.
[[nodiscard]] std::optional<ExtensionFolderError>
swapExtensionFolder(const std::filesystem::path& staging, const std::filesystem::path& stable,
                    const std::filesystem::path& previous);

} // namespace zevra
