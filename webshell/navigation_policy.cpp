#include "webshell/navigation_policy.h"

#include "base/ascii.h"

#include <string>

namespace zevra {
namespace {

struct URLParts {
    std::string scheme; // lower-cased
    std::string host;   // lower-cased
    std::string port;
    std::string_view path;
};

// Scheme, authority and path of an absolute hierarchical URL; empty parts when not one.
URLParts urlParts(std::string_view url) {
    URLParts parts;
    const auto separator = url.find("://");
    if (separator == std::string_view::npos) {
        return parts;
    }
    parts.scheme = asciiLowerCase(std::string(url.substr(0, separator)));
    const std::string_view rest = url.substr(separator + 3);
    const auto authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    const auto colon = authority.rfind(':');
    const bool hasPort =
        colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos;
    parts.host = asciiLowerCase(std::string(hasPort ? authority.substr(0, colon) : authority));
    parts.port = hasPort ? std::string(authority.substr(colon + 1)) : "";
    if (authorityEnd != std::string_view::npos) {
        const std::string_view pathAndMore = rest.substr(authorityEnd);
        parts.path = pathAndMore.substr(0, pathAndMore.find_first_of("?#"));
    }
    return parts;
}

bool contains(std::string_view text, std::string_view part) {
    return !part.empty() && text.find(part) != std::string_view::npos;
}

// Any mention of a sign-in page anywhere in the address, query included.
bool mentionsSignIn(std::string_view url, const NavigationHosts& hosts) {
    return contains(url, hosts.googleSignInHost) || contains(url, "oauth2/auth") ||
           (!hosts.partnerAuthHost.empty() &&
            contains(url, std::string(hosts.partnerAuthHost) + "/oauth"));
}

// A real sign-in page: https, and the host or path itself is the sign-in one.
bool isSignInPage(std::string_view url, const NavigationHosts& hosts) {
    const URLParts parts = urlParts(url);
    if (parts.scheme != "https") {
        return false;
    }
    return parts.host == asciiLowerCase(std::string(hosts.googleSignInHost)) ||
           contains(parts.path, "oauth2/auth") ||
           (!hosts.partnerAuthHost.empty() &&
            parts.host == asciiLowerCase(std::string(hosts.partnerAuthHost)) &&
            parts.path.starts_with("/oauth"));
}

bool isSitePage(std::string_view url, const NavigationHosts& hosts) {
    if (hosts.siteHost.empty()) {
        return false;
    }
    const std::string host(hosts.siteHost);
    return url.starts_with("https://" + host) || url.starts_with("http://" + host);
}

} // namespace

ActionPolicy navigationActionPolicy(const NavigationAction& action, const NavigationHosts& hosts) {
    const std::string_view url = action.url;
    if (url.empty()) {
        return ActionPolicy::Allow;
    }
    // Blob downloads are caught inside the page.
    if (url.starts_with("blob:")) {
        return ActionPolicy::Cancel;
    }
    const bool topLevel = action.target == NavigationTarget::MainFrame ||
                          action.target == NavigationTarget::NewWindow;
    // A framed data: page is content; only a top-level one is a download.
    if (url.starts_with("data:") && topLevel) {
        return ActionPolicy::SaveDataURL;
    }
    // The desktop is handed only genuine https sign-in pages; any other address that looks
    // like one (another scheme, or the words in its query) goes nowhere.
    if (mentionsSignIn(url, hosts)) {
        if (!isSignInPage(url, hosts)) {
            return ActionPolicy::Cancel;
        }
        // A frame known not to be the main one hands over a sign-in page only when the person
        // clicked for it. Unnamed frames keep the main frame's rule, which needs no click.
        const bool unaskedFrame =
            action.target == NavigationTarget::SubFrame && !action.isUserGesture;
        return unaskedFrame ? ActionPolicy::Cancel : ActionPolicy::OpenInBrowser;
    }
    if (isSitePage(url, hosts) && topLevel) {
        return ActionPolicy::Cancel;
    }
    return ActionPolicy::Allow;
}

ResponsePolicy navigationResponsePolicy(const NavigationResponse& response,
                                        const NavigationHosts& hosts) {
    if (response.isMainFrame && response.url.starts_with("data:")) {
        return ResponsePolicy::SaveDataURL;
    }
    if (response.isMainFrame && isSitePage(response.url, hosts)) {
        return ResponsePolicy::Ignore;
    }
    if (!response.canShowMimeType) {
        return ResponsePolicy::Download;
    }
    if (response.httpStatus.has_value() &&
        contains(asciiLowerCase(response.contentDisposition), "attachment")) {
        return ResponsePolicy::Download;
    }
    return ResponsePolicy::Allow;
}

bool isNativeShellURL(std::string_view url) {
    const URLParts parts = urlParts(url);
    return (parts.host == "127.0.0.1" || parts.host == "localhost") && parts.port == "18484" &&
           (parts.path.empty() || parts.path == "/" || parts.path == "/index.html");
}

} // namespace zevra
