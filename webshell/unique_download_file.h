#pragma once

#include "base/unique_fd.h"
#include "platform/clock.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zevra {

// A new, empty file created for one download, open for writing.
struct UniqueDownloadFile {
    std::filesystem::path path;
    UniqueFd fd;
};

// Creates `safeName` in `folder`, never replacing a file: when the name is taken it tries the
// name with the local time ("report-2026-12-07-142501.pdf"), then that name with "-2", "-3", …
// before the extension. Creation is exclusive, so two saves racing for one name get two files.
// Absent when the folder cannot take a new file.
[[nodiscard]] std::optional<UniqueDownloadFile>
createUniqueDownloadFile(const std::filesystem::path& folder, const std::string& safeName,
                         const Clock& clock);

} // namespace zevra
