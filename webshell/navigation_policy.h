#pragma once

#include "platform/web_view_events.h"

#include <string_view>

namespace zevra {

// The hosts the rules below name.
struct NavigationHosts {
    std::string_view siteHost;
    std::string_view partnerAuthHost;
    std::string_view googleSignInHost = "accounts.google.com";
};

enum class ActionPolicy {
    Allow,
    Cancel,
    OpenInBrowser, // and cancel
    SaveDataURL,   // and cancel
};

enum class ResponsePolicy { Allow, Download, Ignore, SaveDataURL };

// Where a navigation may go. Rules tied to the main frame wait for the response when the
// engine does not name the frame.
[[nodiscard]] ActionPolicy navigationActionPolicy(const NavigationAction& action,
                                                  const NavigationHosts& hosts);

// What becomes of an answer: shown, saved as a download, or dropped.
[[nodiscard]] ResponsePolicy navigationResponsePolicy(const NavigationResponse& response,
                                                      const NavigationHosts& hosts);

// Host "127.0.0.1" or "localhost", explicit port 18484, path "", "/" or "/index.html".
[[nodiscard]] bool isNativeShellURL(std::string_view url);

} // namespace zevra
