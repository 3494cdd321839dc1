#include "app/production_services.h"

#include "auth/keychain_token_store.h"
#include "build_config.h"
#include "platform/bundle.h"
#include "platform/http_client.h"
#include "platform/keyring.h"
#include "platform/paths.h"
#include "platform/secure_random.h"
#include "platform/workspace.h"
#include "search/downloads_listing.h"
#include "search/search_catalogue.h"

#include <unistd.h>

namespace zevra {

BrowserSessionServices productionBrowserSessionServices(BackgroundExecutor& executor,
                                                        const Clock& clock) {
    return BrowserSessionServices{
        .executor = executor,
        .keyring = processKeyring(),
        .version = mainBundleShortVersion(),
        .applicationSupportFolder = applicationSupportFolder(),
        .clock = clock,
        .random = processSecureRandom(),
        .http = makeHttpClient(),
        .identity = IdentityCheckSettings{.siteHost = config::SiteHost},
    };
}

LocalServerOptions
productionLocalServerOptions(const std::filesystem::path& resourcesPath,
                             BackgroundExecutor& executor, const Clock& clock,
                             std::function<void(std::function<void()>)> postToMain) {
    LocalServerOptions options;
    options.resourcesPath = resourcesPath;
    options.clock = &clock;
    options.session =
        std::make_shared<BrowserSession>(productionBrowserSessionServices(executor, clock));
    options.search = std::make_shared<SearchCatalogue>(resourcesPath, clock, executor);
    options.downloadsFolder = downloadsFolder();
    options.downloads = std::make_shared<DownloadsIndex>(options.downloadsFolder, clock, executor);
    options.firstParty = makeHttpClient(
        {.shareSession = true, .cookieFile = applicationSupportFolder() / "first-party-cookies"});
    options.revealFolder = [postToMain =
                                std::move(postToMain)](const std::filesystem::path& folder) {
        postToMain([folder] { processWorkspace().revealFolder(folder.string()); });
    };
    return options;
}

std::unique_ptr<ReliabilityState> productionReliabilityState() {
    return std::make_unique<ReliabilityState>(
        applicationSupportFolder(), systemClock(),
        mainBundleInfoString("CFBundleShortVersionString").value_or("dev"), ::getpid());
}

} // namespace zevra
