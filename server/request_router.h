#pragma once

#include "server/http_request.h"

namespace zevra {

class ByteSink;
class LocalServer;

// One request that passed the Host check, and where its answer goes.
struct RouteContext {
    LocalServer& server;
    ByteSink& sink;
    const HttpRequest& request;
};

// Picks the first rule that matches, in order, and lets it answer.
void dispatchRequest(const RouteContext& context);

// The rules. Each answers and returns true when the request is its own, else returns false
// without writing anything.
[[nodiscard]] bool routeHealth(const RouteContext& context);
[[nodiscard]] bool routeResourcesFile(const RouteContext& context);

} // namespace zevra
