#pragma once

#include "server/http_request.h"
#include "server/response_writer.h"
#include "server/route_services.h"

namespace zevra {

// Lets the first rule that matches, in order, answer a request that passed the Host check.
void dispatchRequest(const RouteServices& services, const HttpRequest& request,
                     ResponseWriter& writer);

} // namespace zevra
