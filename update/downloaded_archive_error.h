#pragma once

#include "update/release_limits.h"
#include "update/release_response.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// Every check a downloaded release archive must pass before it is unpacked: the response, the
// manifest's digest text, the size, the digest itself and the zip entries. Nothing when the
// archive passes, else the message to show the user.
[[nodiscard]] std::optional<std::string>
downloadedArchiveError(const std::filesystem::path& file,
                       const std::optional<ReleaseResponse>& response, std::string_view expectedURL,
                       std::string_view sha256, std::optional<std::int64_t> expectedBytes,
                       const ArchiveLimits& limits);

} // namespace zevra
