#pragma once

#include "auth/browser_session.h"
#include "base/background_executor.h"
#include "platform/clock.h"

namespace zevra {

// The one place the running application's services are made: the real keyring, bundle version,
// Application Support folder, random generator, HTTP client and site, over the app's executor.
[[nodiscard]] BrowserSessionServices productionBrowserSessionServices(BackgroundExecutor& executor,
                                                                      const Clock& clock);

} // namespace zevra
