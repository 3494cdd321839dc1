#pragma once

#include "auth/browser_session.h"
#include "base/background_executor.h"
#include "platform/clock.h"
#include "reliability/reliability_state.h"
#include "server/local_server.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace zevra {

// The one place the running application's services are made: the real keyring, bundle version,
// Application Support folder, random generator, HTTP client and site, over the app's executor.
[[nodiscard]] BrowserSessionServices productionBrowserSessionServices(BackgroundExecutor& executor,
                                                                      const Clock& clock);

// The loopback server's options with every service it uses: the session above, the search
// catalogue over `resourcesPath`, the downloads listing, and the file manager reached through
// `postToMain`.
[[nodiscard]] LocalServerOptions
productionLocalServerOptions(const std::filesystem::path& resourcesPath,
                             BackgroundExecutor& executor, const Clock& clock,
                             std::function<void(std::function<void()>)> postToMain);

// Launch bookkeeping in the Application Support folder, for this process and bundle version.
[[nodiscard]] std::unique_ptr<ReliabilityState> productionReliabilityState();

} // namespace zevra
