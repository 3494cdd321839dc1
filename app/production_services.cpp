#include "app/production_services.h"

#include "auth/keychain_token_store.h"
#include "build_config.h"
#include "platform/http_client.h"
#include "platform/keyring.h"
#include "platform/paths.h"
#include "platform/secure_random.h"

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

} // namespace zevra
