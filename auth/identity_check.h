#pragma once

#include "base/background_executor.h"
#include "platform/http_client.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace zevra {

struct IdentityCheckSettings {
    std::string siteHost;
    std::chrono::milliseconds requestTimeout{15000};
    // How long the asking thread waits; an answer arriving later is dropped.
    std::chrono::milliseconds waitLimit{16000};
};

// What the site's identity endpoint said, as far as it was heard before the wait ended.
struct IdentityAnswer {
    std::optional<int> status;
    bool verified = false;
    nlohmann::json payload;
};

// GET "https://" + siteHost + "/api/identity/me", with the token headers when a token is given.
// Blocks for at most the wait limit.
// The request runs on the executor; the answer is empty when no worker can take it.
[[nodiscard]] IdentityAnswer askIdentity(BackgroundExecutor& executor,
                                         const std::shared_ptr<HttpClient>& http,
                                         const IdentityCheckSettings& settings,
                                         const std::optional<std::string>& token,
                                         const std::string& userAgent);

} // namespace zevra
