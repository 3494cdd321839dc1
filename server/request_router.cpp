#include "server/request_router.h"

#include "server/auth_routes.h"
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

struct Route {
    RouteMatch match;
    std::string_view text;
    RouteHandler handler;
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
    Route{RouteMatch::rawPathExact, "/health", answerHealth},
    Route{RouteMatch::rawPathPrefix, "/app-connect", answerAppConnect},
    Route{RouteMatch::rawPathPrefix, "/auth-bridge/status", answerAuthBridgeStatus},
    Route{RouteMatch::rawPathPrefix, "/auth-bridge", answerAuthBridge},
    Route{RouteMatch::rawPathPrefix, "/api/local-auth/status", answerLocalAuthStatus},
    Route{RouteMatch::rawPathPrefix, "/api/search", answerSearch},
    Route{RouteMatch::rawPathPrefix, "/api/downloads", answerDownloads},
    Route{RouteMatch::rawPathPrefix, "/api/reveal-downloads", answerRevealDownloads},
    Route{RouteMatch::rawPathPrefix, "/workspace-view", answerWorkspaceView},
    Route{RouteMatch::normalisedPathPrefix, "/proxy/", answerFirstPartyProxy},
    Route{RouteMatch::normalisedPathPrefix, "/surface/", answerFirstPartyProxy},
    Route{RouteMatch::normalisedPathPrefix, "/api/", answerFirstPartyProxy},
    Route{RouteMatch::normalisedPathPrefix, "/vibe-codes/", answerToolFile},
    Route{RouteMatch::normalisedPathPrefix, "/downloads/", answerDownloadedFile},
    Route{RouteMatch::normalisedPathPrefix, "", answerResourcesFile},
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
        if (matches(route, request.rawPath, normalised)) {
            route.handler(services, request, writer);
            return;
        }
    }
}

} // namespace zevra
