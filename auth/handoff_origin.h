#pragma once

#include <optional>
#include <string>

namespace zevra {

// Where a browser handoff request says it comes from, judged from its "Origin" and "Referer"
// headers by exact, case-sensitive rules. The three flags are independent.
struct HandoffOrigin {
    bool fromSite = false;
    bool fromConnectPage = false;
    bool fromExtension = false;
};

[[nodiscard]] HandoffOrigin classifyHandoffOrigin(const std::optional<std::string>& origin,
                                                  const std::optional<std::string>& referer,
                                                  const std::string& siteHost);

// A Google Chrome extension origin: "chrome-extension://" and 32 letters from "a" to "p".
[[nodiscard]] bool isChromeExtensionOrigin(const std::string& origin);

} // namespace zevra
