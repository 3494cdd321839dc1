#include "auth/browser_session.h"
#include "base/absolute_url.h"
#include "base/ascii.h"
#include "base/utf8.h"
#include "server/first_party_fetch.h"
#include "server/first_party_hosts.h"
#include "server/http_framing.h"
#include "server/local_routes.h"
#include "server/page_rewriter.h"
#include "server/proxy_target.h"
#include "server/reason_phrase.h"

#include <array>
#include <utility>

namespace zevra {
namespace {

// The type a page path implies when upstream names none usable; first match wins.
std::string contentTypeForPagePath(std::string_view path) {
    constexpr std::string_view html = "text/html; charset=utf-8";
    if (path.starts_with("/api/") || path.starts_with("/tarvik/")) {
        return "application/json";
    }
    if (path.ends_with(".html") || path == "/" || path.find('.') == std::string_view::npos) {
        return std::string(html);
    }
    constexpr std::array<std::pair<std::string_view, std::string_view>, 10> byEnding{{
        {".js", "application/javascript"},
        {".css", "text/css"},
        {".json", "application/json"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".svg", "image/svg+xml"},
        {".woff2", "font/woff2"},
        {".woff", "font/woff"},
    }};
    for (const auto& [ending, type] : byEnding) {
        if (path.ends_with(ending)) {
            return std::string(type);
        }
    }
    return std::string(html);
}

std::string upstreamContentType(const HttpClientResponse& response) {
    for (const auto& [name, value] : response.headers) {
        if (asciiLowerCase(name) == "content-type") {
            const auto trimmed = trimmedWhiteSpaceAndLineBreaks(value);
            if (trimmed.find_first_of("\r\n") == std::string_view::npos) {
                return std::string(trimmed);
            }
            return {};
        }
    }
    return {};
}

void sendProxyError(ResponseWriter& writer) {
    writer.sendJSON({{"ok", false}, {"detail", "proxy error"}}, "502 Bad Gateway");
}

} // namespace

void answerFirstPartyProxy(const RouteServices& services, const HttpRequest& request,
                           ResponseWriter& writer) {
    const ProxyTarget target = proxyTarget(request.rawPath);
    if (target.outcome == ProxyTargetOutcome::unsupportedSurfaceHost) {
        writer.sendJSON({{"ok", false}, {"detail", "unsupported surface host"}}, "403 Forbidden");
        return;
    }
    if (target.outcome != ProxyTargetOutcome::ok) {
        sendProxyError(writer);
        return;
    }
    auto result = fetchNativeFirstParty(
        services.firstParty, {.url = target.url,
                              .method = request.method,
                              .body = request.body,
                              .contentType = parseHeader(request.headers, "Content-Type"),
                              .token = services.session.currentToken().value_or("")});
    if (!result) {
        sendProxyError(writer);
        return;
    }
    std::string origin = target.origin;
    std::string localBase = target.localBase;
    std::string pagePath = target.upstreamPath;
    const auto finalOrigin = nativeProxyOrigin(result->finalURL);
    const auto finalBase = nativeProxyLocalBase(result->finalURL);
    if (finalOrigin && finalBase) {
        origin = *finalOrigin;
        localBase = *finalBase;
        const auto finalURL = parseAbsoluteURL(result->finalURL);
        pagePath =
            finalURL && !finalURL->percentEncodedPath.empty() ? finalURL->percentEncodedPath : "/";
    }
    std::string contentType = upstreamContentType(*result);
    if (contentType.empty()) {
        contentType = contentTypeForPagePath(pagePath);
    }
    const bool success = result->status >= 200 && result->status <= 299;
    if (success && asciiLowerCase(contentType).find("text/html") != std::string::npos &&
        isValidUtf8(result->body)) {
        result->body =
            rewrittenPage(std::move(result->body),
                          {.pagePath = pagePath, .localBase = localBase, .origin = origin});
    }
    writer.sendResponse(statusLine(result->status), contentType, result->body);
}

} // namespace zevra
