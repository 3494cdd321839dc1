#pragma once

#include "server/http_request.h"
#include "server/response_writer.h"
#include "server/route_services.h"

namespace zevra {

// The sign-in endpoints, each reached through its row of the dispatch.

// "/app-connect": the connect page, only for the pending browser sign-in's nonce.
void answerAppConnect(const RouteServices& services, const HttpRequest& request,
                      ResponseWriter& writer);
// "/auth-bridge/status": whether a token is in force and whether a handoff just arrived.
void answerAuthBridgeStatus(const RouteServices& services, const HttpRequest& request,
                            ResponseWriter& writer);
// "/auth-bridge": the browser extension or the site hands over a token.
void answerAuthBridge(const RouteServices& services, const HttpRequest& request,
                      ResponseWriter& writer);
// "/api/local-auth/status": the site's view of the token in force.
void answerLocalAuthStatus(const RouteServices& services, const HttpRequest& request,
                           ResponseWriter& writer);

} // namespace zevra
