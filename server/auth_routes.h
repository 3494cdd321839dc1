#pragma once

#include "server/request_router.h"

namespace zevra {

// The sign-in endpoints. Each answers and returns true when the request is its own.

// "/app-connect": the connect page, only for the pending browser sign-in's nonce.
[[nodiscard]] bool routeAppConnect(const RouteContext& context);
// "/auth-bridge/status": whether a token is in force and whether a handoff just arrived.
[[nodiscard]] bool routeAuthBridgeStatus(const RouteContext& context);
// "/auth-bridge": the browser extension or the site hands over a token.
[[nodiscard]] bool routeAuthBridge(const RouteContext& context);
// "/api/local-auth/status": the site's view of the token in force.
[[nodiscard]] bool routeLocalAuthStatus(const RouteContext& context);

} // namespace zevra
