#pragma once

#include "platform/http_client.h"
#include "platform/secure_random.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

inline constexpr std::chrono::seconds healthProbeTimeout{2};

// A fresh value naming this launch: 32 hexadecimal digits.
[[nodiscard]] std::string makeLaunchInstance(SecureRandom& random);

// GET "/health" on 127.0.0.1:`port`, addressed to the shell's host, within the probe timeout.
[[nodiscard]] HttpClientRequest healthProbeRequest(std::uint16_t port);

// Healthy only for a 200 whose JSON names `instance`: whatever else answers on the port (a
// second copy, another user's program) is not our server.
[[nodiscard]] bool healthProbeIsHealthy(const std::optional<HttpClientResponse>& response,
                                        std::string_view instance);

} // namespace zevra
