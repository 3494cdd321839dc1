#include "auth/identity_check.h"

#include <condition_variable>
#include <mutex>

namespace zevra {
namespace {

// Shared between the asking thread and the one doing the exchange, which may outlive the wait.
struct PendingAnswer {
    std::mutex lock;
    std::condition_variable arrived;
    bool done = false;
    IdentityAnswer answer;
};

IdentityAnswer interpret(const std::optional<HttpClientResponse>& response) {
    IdentityAnswer answer;
    if (!response.has_value()) {
        return answer;
    }
    answer.status = response->status;
    if (response->status != 200 || response->body.empty()) {
        return answer;
    }
    auto payload = nlohmann::json::parse(response->body, nullptr, false);
    if (!payload.is_object()) {
        return answer;
    }
    const auto ok = payload.find("ok");
    const auto user = payload.find("user");
    answer.verified = ok != payload.end() && ok->is_boolean() && ok->get<bool>() &&
                      user != payload.end() && user->is_object();
    answer.payload = std::move(payload);
    return answer;
}

HttpClientRequest identityRequest(const IdentityCheckSettings& settings,
                                  const std::optional<std::string>& token,
                                  const std::string& userAgent) {
    HttpClientRequest request;
    request.method = "GET";
    request.url = "https://" + settings.siteHost + "/api/identity/me";
    request.timeout = settings.requestTimeout;
    if (token.has_value()) {
        request.headers.emplace_back("Authorization", "Bearer " + *token);
        request.headers.emplace_back("X-Zevra-Token", *token);
    }
    request.headers.emplace_back("User-Agent", userAgent);
    return request;
}

} // namespace

IdentityAnswer askIdentity(BackgroundExecutor& executor, const std::shared_ptr<HttpClient>& http,
                           const IdentityCheckSettings& settings,
                           const std::optional<std::string>& token, const std::string& userAgent) {
    auto pending = std::make_shared<PendingAnswer>();
    const bool posted =
        executor.post([http, pending, request = identityRequest(settings, token, userAgent)] {
            auto answer = interpret(http->send(request));
            const std::lock_guard guard(pending->lock);
            pending->answer = std::move(answer);
            pending->done = true;
            pending->arrived.notify_all();
        });
    if (!posted) {
        return IdentityAnswer{};
    }

    std::unique_lock guard(pending->lock);
    if (!pending->arrived.wait_for(guard, settings.waitLimit, [&] { return pending->done; })) {
        return IdentityAnswer{};
    }
    return pending->answer;
}

} // namespace zevra
