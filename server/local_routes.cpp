#include "server/local_routes.h"

#include "search/downloads_listing.h"
#include "search/local_roots.h"
#include "search/search_catalogue.h"
#include "server/http_framing.h"
#include "server/request_path.h"
#include "server/safe_file.h"
#include "server/workspace_view.h"

#include <nlohmann/json.hpp>

#include <system_error>

namespace zevra {
namespace {

// The normalised path without `prefix`, resolved under `root`; 404 when there is no root.
void sendFileUnder(const std::optional<std::filesystem::path>& root, std::string_view prefix,
                   const HttpRequest& request, ResponseWriter& writer,
                   ResponseWriter::Sandbox sandbox = ResponseWriter::Sandbox::none) {
    const std::string path = normalisedPath(request.rawPath).path;
    const auto relative =
        std::string_view(path).substr(path.starts_with(prefix) ? prefix.size() : 0);
    writer.sendStaticFile(root ? safeFile(*root, relative) : std::nullopt, path, sandbox);
}

} // namespace

void answerSearch(const RouteServices& services, const HttpRequest& request,
                  ResponseWriter& writer) {
    const std::string query = queryItemValue(request.rawPath, "q").value_or("");
    writer.sendJSON(
        {{"ok", true}, {"query", query}, {"results", services.search.performSearch(query)}});
}

void answerDownloads(const RouteServices& services, const HttpRequest&, ResponseWriter& writer) {
    // The listing is kept as JSON text; the answer wraps it without parsing it again.
    const auto items = services.downloads.downloadsListing();
    std::string body = R"({"items":)";
    body.append(*items).append(R"(,"ok":true})");
    writer.sendResponse("200 OK", "application/json", body);
}

void answerRevealDownloads(const RouteServices& services, const HttpRequest& request,
                           ResponseWriter& writer) {
    if (request.method != "POST" || !requestIsFromLocalShell(request.headers)) {
        writer.sendJSON({{"ok", false}}, "403 Forbidden");
        return;
    }
    std::error_code ignored;
    std::filesystem::create_directories(services.downloadsFolder, ignored);
    services.revealFolder(services.downloadsFolder);
    writer.sendJSON({{"ok", true}});
}

void answerWorkspaceView(const RouteServices&, const HttpRequest& request, ResponseWriter& writer) {
    sendWorkspaceView(writer, request.rawPath);
}

void answerToolFile(const RouteServices& services, const HttpRequest& request,
                    ResponseWriter& writer) {
    sendFileUnder(vibeToolsRoot(services.resourcesPath), "/vibe-codes/", request, writer);
}

void answerDownloadedFile(const RouteServices& services, const HttpRequest& request,
                          ResponseWriter& writer) {
    sendFileUnder(services.downloadsFolder, "/downloads/", request, writer,
                  ResponseWriter::Sandbox::untrustedContent);
}

void answerResourcesFile(const RouteServices& services, const HttpRequest& request,
                         ResponseWriter& writer) {
    sendFileUnder(services.resourcesPath, "/", request, writer);
}

} // namespace zevra
