#include "server/auth_routes.h"

#include "auth/browser_session.h"
#include "base/utf8.h"
#include "server/connect_page.h"
#include "server/http_framing.h"
#include "server/request_path.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace zevra {
namespace {

constexpr std::size_t maximumHandoffBody = 512;

bool isNonceText(std::string_view nonce) {
    return nonce.size() == 64 && std::all_of(nonce.begin(), nonce.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// The nonce of a connect request, when the target is exactly "/app-connect" with a query.
std::optional<std::string> connectNonce(std::string_view rawPath) {
    const auto target = targetComponents(rawPath);
    if (!target || target->path != "/app-connect") {
        return std::nullopt;
    }
    return firstQueryValue(target->query, "nonce").value_or("");
}

struct HandoffBody {
    std::string token;
    std::optional<std::string> nonce;
};

// A JSON object gives "token" and "nonce"; any other body is taken whole as a bare token.
HandoffBody parseHandoffBody(const std::string& body) {
    const auto parsed = nlohmann::json::parse(body, nullptr, false);
    if (!parsed.is_object()) {
        return HandoffBody{std::string(trimmedWhiteSpaceAndLineBreaks(body)), std::nullopt};
    }
    HandoffBody handoff;
    if (const auto token = parsed.find("token"); token != parsed.end() && token->is_string()) {
        handoff.token =
            std::string(trimmedWhiteSpaceAndLineBreaks(token->get_ref<const std::string&>()));
    }
    if (const auto nonce = parsed.find("nonce"); nonce != parsed.end() && nonce->is_string()) {
        handoff.nonce =
            std::string(trimmedWhiteSpaceAndLineBreaks(nonce->get_ref<const std::string&>()));
    }
    return handoff;
}

bool acceptHandoff(BrowserSession& session, const HandoffBody& handoff,
                   const std::optional<std::string>& origin,
                   const std::optional<std::string>& referer) {
    return !handoff.token.empty() &&
           session.acceptBrowserHandoff(handoff.token, handoff.nonce, origin, referer);
}

bool isLocalShellGet(const HttpRequest& request) {
    return request.method == "GET" && requestIsFromLocalShell(request.headers);
}

} // namespace

void answerAppConnect(const RouteServices& services, const HttpRequest& request,
                      ResponseWriter& writer) {
    const auto nonce = connectNonce(request.rawPath);
    if (request.method == "GET" && nonce.has_value() && isNonceText(*nonce) &&
        services.session.browserAuthIsPending(*nonce)) {
        writer.sendResponse("200 OK", "text/html; charset=utf-8", connectPageHTML());
        return;
    }
    writer.sendResponse("403 Forbidden", "text/plain; charset=utf-8",
                        "Invalid or expired app connection request.");
}

void answerAuthBridgeStatus(const RouteServices& services, const HttpRequest& request,
                            ResponseWriter& writer) {
    if (!isLocalShellGet(request)) {
        writer.sendJSON({{"ok", false}}, "403 Forbidden");
        return;
    }
    const bool authenticated = services.session.currentToken().has_value();
    const bool handoffReady = services.session.consumeBrowserHandoffReady();
    writer.sendJSON(
        {{"ok", true}, {"authenticated", authenticated}, {"handoff_ready", handoffReady}});
}

void answerAuthBridge(const RouteServices& services, const HttpRequest& request,
                      ResponseWriter& writer) {
    const auto origin = parseHeader(request.headers, "Origin");
    const auto referer = parseHeader(request.headers, "Referer");
    const bool accepted =
        request.method == "POST" && request.body.size() <= maximumHandoffBody &&
        acceptHandoff(services.session, parseHandoffBody(request.body), origin, referer);
    if (!accepted) {
        writer.sendResponse("403 Forbidden", "text/plain; charset=utf-8", "");
        return;
    }
    writer.sendResponse("204 No Content", "text/plain; charset=utf-8", "");
}

void answerLocalAuthStatus(const RouteServices& services, const HttpRequest& request,
                           ResponseWriter& writer) {
    if (!isLocalShellGet(request)) {
        writer.sendJSON({{"ok", false}}, "403 Forbidden");
        return;
    }
    writer.sendJSON(services.session.authenticationStatus());
}

} // namespace zevra
