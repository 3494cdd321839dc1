#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

namespace zevra {

// True when the browser extension's "manifest.json" (a JSON object) asks for exactly the
// approved capabilities and names `version`.
[[nodiscard]] bool extensionManifestHasApprovedCapabilities(const nlohmann::json& manifest,
                                                            std::string_view version);

} // namespace zevra
