#pragma once

#include "support/loopback_client.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zevra::testing {

// Sends `request` as raw bytes to 127.0.0.1:port and reads the whole answer until the server
// closes. Empty when no connection could be made or nothing came back.
std::optional<HttpAnswer> exchangeRaw(std::uint16_t port, const std::string& request,
                                      std::chrono::seconds timeout = std::chrono::seconds(10));

// A GET with "Host: 127.0.0.1:18484" (the Host the server expects whatever port it binds).
std::optional<HttpAnswer> httpGet(std::uint16_t port, const std::string& path,
                                  const std::string& extraHeaders = "");

// Polls until the server at `port` answers "/health" with 200, or the timeout passes.
bool waitForHealth(std::uint16_t port, std::chrono::milliseconds timeout);

} // namespace zevra::testing
