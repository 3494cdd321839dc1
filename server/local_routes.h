#pragma once

#include "server/http_request.h"
#include "server/response_writer.h"
#include "server/route_services.h"

namespace zevra {

// The endpoints answered from this machine, each reached through its row of the dispatch.

// "/api/search?q=…": the catalogue's best results.
void answerSearch(const RouteServices& services, const HttpRequest& request,
                  ResponseWriter& writer);
// "/api/downloads": the downloads folder's listing.
void answerDownloads(const RouteServices& services, const HttpRequest& request,
                     ResponseWriter& writer);
// "/api/reveal-downloads": shows the downloads folder in the file manager (shell only, POST).
void answerRevealDownloads(const RouteServices& services, const HttpRequest& request,
                           ResponseWriter& writer);
// "/workspace-view?path=…": a read-only page of one workspace document.
void answerWorkspaceView(const RouteServices& services, const HttpRequest& request,
                         ResponseWriter& writer);
// "/proxy/…", "/surface/…", "/api/…": the site's pages and APIs.
void answerFirstPartyProxy(const RouteServices& services, const HttpRequest& request,
                           ResponseWriter& writer);
// "/vibe-codes/…", "/downloads/…" and every other path: files under their folder.
void answerToolFile(const RouteServices& services, const HttpRequest& request,
                    ResponseWriter& writer);
void answerDownloadedFile(const RouteServices& services, const HttpRequest& request,
                          ResponseWriter& writer);
void answerResourcesFile(const RouteServices& services, const HttpRequest& request,
                         ResponseWriter& writer);

} // namespace zevra
