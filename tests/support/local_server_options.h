#pragma once

#include "platform/http_client.h"
#include "platform/paths.h"
#include "search/downloads_listing.h"
#include "search/search_catalogue.h"
#include "server/local_server.h"

#include <memory>
#include <vector>

namespace zevra::testing {

// Every exchange fails as if the network were down.
class UnreachableHttpClient final : public HttpClient {
public:
    std::optional<HttpClientResponse> send(const HttpClientRequest&) override {
        return std::nullopt;
    }
};

// The launch key of every test server, and the header line that carries it.
inline constexpr std::string_view testLaunchKey =
    "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
inline const std::string launchKeyHeader =
    "X-Zevra-Launch-Key: " + std::string(testLaunchKey) + "\r\n";

// A test server's options: the given session, a catalogue over `resources`, the downloads
// folder under HOME, and folder reveals recorded in `revealed` (when given).
inline LocalServerOptions
localServerOptions(const std::filesystem::path& resources, const Clock& clock,
                   BackgroundExecutor& executor, std::shared_ptr<BrowserSession> session,
                   std::vector<std::filesystem::path>* revealed = nullptr) {
    LocalServerOptions options;
    options.resourcesPath = resources;
    options.port = 0;
    options.clock = &clock;
    options.session = std::move(session);
    options.search = std::make_shared<SearchCatalogue>(resources, clock, executor);
    options.downloadsFolder = downloadsFolder();
    options.downloads = std::make_shared<DownloadsIndex>(options.downloadsFolder, clock, executor);
    options.firstParty = std::make_shared<UnreachableHttpClient>();
    options.launchKey = testLaunchKey;
    options.revealFolder = [revealed](const std::filesystem::path& folder) {
        if (revealed != nullptr) {
            revealed->push_back(folder);
        }
    };
    return options;
}

} // namespace zevra::testing
