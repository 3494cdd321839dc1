#include "server/request_router.h"

#include "server/auth_routes.h"
#include "server/http_response.h"
#include "server/local_server.h"
#include "server/request_path.h"
#include "server/safe_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>

namespace zevra {
namespace {

using Route = bool (*)(const RouteContext&);

// In the order they are tried; the last one takes everything.
constexpr std::array<Route, 6> routes{
    routeHealth,     routeAppConnect,      routeAuthBridgeStatus,
    routeAuthBridge, routeLocalAuthStatus, routeResourcesFile,
};

} // namespace

void dispatchRequest(const RouteContext& context) {
    static_cast<void>(
        std::any_of(routes.begin(), routes.end(), [&](Route route) { return route(context); }));
}

bool routeHealth(const RouteContext& context) {
    if (context.request.rawPath != "/health") {
        return false;
    }
    sendJSON(context.sink, {{"ok", true}, {"service", "zevra-local-shell"}});
    return true;
}

bool routeResourcesFile(const RouteContext& context) {
    const auto path = normalisedPath(context.request.rawPath).path;
    const std::string_view relative = std::string_view(path).substr(path.starts_with('/') ? 1 : 0);
    sendStaticFile(context.sink, safeFile(context.server.resourcesPath(), relative), path);
    return true;
}

} // namespace zevra
