#pragma once

#include "base/absolute_url.h"
#include "update/release_response.h"
#include "update/update_manifest.h"

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// Where the release host publishes its two manifests.
[[nodiscard]] std::string updateManifestURL();
[[nodiscard]] std::string extensionManifestURL();

struct AcceptedAppManifest {
    ZevraUpdateManifest manifest;
    AbsoluteURL archiveURL;
};

struct AcceptedExtensionManifest {
    ZevraExtensionUpdateManifest manifest;
    AbsoluteURL archiveURL;
};

// Accept or reject a fetched app manifest; the version is not compared with ours here.
[[nodiscard]] std::optional<AcceptedAppManifest>
acceptAppManifest(const std::optional<std::string>& data,
                  const std::optional<ReleaseResponse>& response);

// The same for the extension manifest. The background notice check (`forNotice`) skips the
// download URL length and notes limits.
[[nodiscard]] std::optional<AcceptedExtensionManifest>
acceptExtensionManifest(const std::optional<std::string>& data,
                        const std::optional<ReleaseResponse>& response, bool forNotice);

// "^[a-fA-F0-9]{64}$"
[[nodiscard]] bool isSHA256Text(std::string_view text);

} // namespace zevra
