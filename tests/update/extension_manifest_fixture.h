#pragma once

#include <nlohmann/json.hpp>

namespace zevra::testing {

// A browser extension "manifest.json" with exactly the approved capabilities, for `version`.
nlohmann::json approvedExtensionManifest(const std::string& version);

} // namespace zevra::testing
