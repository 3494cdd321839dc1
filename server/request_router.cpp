#include "server/request_router.h"

#include "server/auth_routes.h"
#include "server/request_path.h"
#include "server/safe_file.h"

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

void answerHealth(const RouteServices&, const HttpRequest&, ResponseWriter& writer) {
    writer.sendJSON({{"ok", true}, {"service", "zevra-local-shell"}});
}

void answerResourcesFile(const RouteServices& services, const HttpRequest& request,
                         ResponseWriter& writer) {
    const auto path = normalisedPath(request.rawPath).path;
    const std::string_view relative = std::string_view(path).substr(path.starts_with('/') ? 1 : 0);
    writer.sendStaticFile(safeFile(services.resourcesPath, relative), path);
}

// In the order they are tried; the last row takes every path.
constexpr std::array routes{
    Route{RouteMatch::rawPathExact, "/health", answerHealth},
    Route{RouteMatch::rawPathPrefix, "/app-connect", answerAppConnect},
    Route{RouteMatch::rawPathPrefix, "/auth-bridge/status", answerAuthBridgeStatus},
    Route{RouteMatch::rawPathPrefix, "/auth-bridge", answerAuthBridge},
    Route{RouteMatch::rawPathPrefix, "/api/local-auth/status", answerLocalAuthStatus},
    // Search, downloads, reveal, workspace view, proxy, tools files and downloaded files go
    // here, in that order, as they are built; until then those paths are resource files.
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
