#include "reliability/health_probe.h"

#include "base/hex.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <array>

namespace zevra {

std::string makeLaunchInstance(SecureRandom& random) {
    std::array<std::byte, 16> bytes{};
    if (random.fill(bytes)) {
        return lowercaseHex(bytes);
    }
    // Still distinct from any other process's value, if guessable.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return "pid" + std::to_string(::getpid()) + "t" + std::to_string(now);
}

HttpClientRequest healthProbeRequest(std::uint16_t port) {
    HttpClientRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(port) + "/health";
    request.headers = {{"Host", "127.0.0.1:18484"}};
    request.timeout = healthProbeTimeout;
    return request;
}

bool healthProbeIsHealthy(const std::optional<HttpClientResponse>& response,
                          std::string_view instance) {
    if (!response || response->status != 200) {
        return false;
    }
    const auto body = nlohmann::json::parse(response->body, nullptr, false);
    if (!body.is_object()) {
        return false;
    }
    const auto named = body.find("instance");
    return named != body.end() && named->is_string() && named->get<std::string>() == instance;
}

} // namespace zevra
