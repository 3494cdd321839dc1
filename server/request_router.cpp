#include "server/request_router.h"

#include "server/auth_routes.h"
#include "server/launch_key.h"
#include "server/local_routes.h"
#include "server/request_path.h"

#include <nlohmann/json.hpp>

#include <array>
#include <optional>

namespace zevra {
namespace {

// How a row's text is compared with the request.
enum class RouteMatch {
    rawPathExact,         // the target exactly as sent
    rawPathPrefix,        // a plain prefix of the target as sent, query included
    normalisedPathPrefix, // a prefix of the decoded path without its query
};

using RouteHandler = void (*)(const RouteServices& services, const HttpRequest& request,
                              ResponseWriter& writer);

// Who may use a row: everyone, or only requests carrying this launch's key (the app's own web
// views and the user's tools), refused in the row's own answer format.
enum class Guard { open, keyJSON, keyText };

struct Route {
    RouteMatch match;
    std::string_view text;
    RouteHandler handler;
    Guard guard;
};

void answerHealth(const RouteServices& services, const HttpRequest&, ResponseWriter& writer) {
    nlohmann::json answer{{"ok", true}, {"service", "zevra-local-shell"}};
    if (!services.instance.empty()) {
        answer["instance"] = services.instance;
    }
    writer.sendJSON(answer);
}

// In the order they are tried; the last row takes every path.
constexpr std::array routes{
    Route{RouteMatch::rawPathExact, "/health", answerHealth, Guard::open},
    Route{RouteMatch::rawPathPrefix, "/app-connect", answerAppConnect, Guard::open},
    Route{RouteMatch::rawPathPrefix, "/auth-bridge/status", answerAuthBridgeStatus, Guard::keyJSON},
    Route{RouteMatch::rawPathPrefix, "/auth-bridge", answerAuthBridge, Guard::open},
    Route{RouteMatch::rawPathPrefix, "/api/local-auth/status", answerLocalAuthStatus,
          Guard::keyJSON},
    Route{RouteMatch::rawPathPrefix, "/api/search", answerSearch, Guard::keyJSON},
    Route{RouteMatch::rawPathPrefix, "/api/downloads", answerDownloads, Guard::keyJSON},
    Route{RouteMatch::rawPathPrefix, "/api/reveal-downloads", answerRevealDownloads,
          Guard::keyJSON},
    Route{RouteMatch::rawPathPrefix, "/workspace-view", answerWorkspaceView, Guard::keyText},
    Route{RouteMatch::normalisedPathPrefix, "/proxy/", answerFirstPartyProxy, Guard::keyJSON},
    Route{RouteMatch::normalisedPathPrefix, "/surface/", answerFirstPartyProxy, Guard::keyJSON},
    Route{RouteMatch::normalisedPathPrefix, "/api/", answerFirstPartyProxy, Guard::keyJSON},
    Route{RouteMatch::normalisedPathPrefix, "/vibe-codes/", answerToolFile, Guard::keyText},
    Route{RouteMatch::normalisedPathPrefix, "/downloads/", answerDownloadedFile, Guard::keyText},
    Route{RouteMatch::normalisedPathPrefix, "", answerResourcesFile, Guard::open},
};

bool matches(const Route& route, std::string_view rawPath, std::optional<std::string>& normalised) {
    switch (route.match) {
    case RouteMatch::rawPathExact:
        return rawPath == route.text;
    case RouteMatch::rawPathPrefix:
        return rawPath.starts_with(route.text);
    case RouteMatch::normalisedPathPrefix:
        if (!normalised) {
            normalised = normalisedPath(rawPath).path;
        }
        return normalised->starts_with(route.text);
    }
    return false;
}

} // namespace

void dispatchRequest(const RouteServices& services, const HttpRequest& request,
                     ResponseWriter& writer) {
    std::optional<std::string> normalised;
    for (const Route& route : routes) {
        if (!matches(route, request.rawPath, normalised)) {
            continue;
        }
        if (route.guard == Guard::open ||
            requestCarriesLaunchKey(request.headers, services.launchKey)) {
            route.handler(services, request, writer);
        } else if (route.guard == Guard::keyJSON) {
            writer.sendJSON({{"ok", false}}, "403 Forbidden");
        } else {
            writer.sendResponse("403 Forbidden", "text/plain; charset=utf-8", "Forbidden");
        }
        return;
    }
}

} // namespace zevra
