#include "auth/handoff_origin.h"

#include "base/shell_address.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace zevra {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool siteSent(const std::optional<std::string>& origin, const std::optional<std::string>& referer,
              const std::string& siteHost) {
    const std::array<std::string, 2> siteOrigins = {"https://" + siteHost,
                                                    "https://www." + siteHost};
    return std::any_of(siteOrigins.begin(), siteOrigins.end(), [&](const std::string& site) {
        return (origin.has_value() && *origin == site) ||
               (referer.has_value() && startsWith(*referer, site + "/"));
    });
}

bool connectPageSent(const std::optional<std::string>& origin,
                     const std::optional<std::string>& referer) {
    if (origin.has_value() && isLocalShellOrigin(*origin)) {
        return true;
    }
    return referer.has_value() && isLocalShellURL(*referer, "/app-connect");
}

} // namespace

bool isChromeExtensionOrigin(const std::string& origin) {
    constexpr std::string_view scheme = "chrome-extension://";
    if (!startsWith(origin, scheme) || origin.size() != scheme.size() + 32) {
        return false;
    }
    return std::all_of(origin.begin() + scheme.size(), origin.end(),
                       [](char c) { return c >= 'a' && c <= 'p'; });
}

HandoffOrigin classifyHandoffOrigin(const std::optional<std::string>& origin,
                                    const std::optional<std::string>& referer,
                                    const std::string& siteHost) {
    return HandoffOrigin{
        .fromSite = siteSent(origin, referer, siteHost),
        .fromConnectPage = connectPageSent(origin, referer),
        .fromExtension = origin.has_value() && isChromeExtensionOrigin(*origin),
    };
}

} // namespace zevra
