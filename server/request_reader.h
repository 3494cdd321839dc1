#pragma once

#include "server/byte_stream.h"
#include "server/http_request.h"

#include <cstddef>
#include <string_view>
#include <variant>

namespace zevra {

// The request buffer grows by reads of this size.
inline constexpr std::size_t requestChunkSize = 8192;
// Most bytes received before the header block must have ended (answered with 431).
inline constexpr std::size_t maxHeaderBytes = 65536;
// Largest declared body (answered with 413 above it).
inline constexpr long long maxBodyBytes = 33554432;
// Reading a body stops once the buffer holds more than this: a full header block plus a full body.
inline constexpr std::size_t maxRequestBytes = 33619968;

// Why no request came out of a connection.
enum class RequestReadFailure {
    closeSilently,   // nothing arrived: close without answering
    headersTooLarge, // 431
    bodyTooLarge,    // 413
};

using RequestReadResult = std::variant<HttpRequest, RequestReadFailure>;

// Reads one request: the header block up to its empty line, then as much of the declared body
// as arrives. A peer that stops early is served with what it sent.
[[nodiscard]] RequestReadResult readRequest(ByteStream& stream);

// Splits received bytes into method, target, header block and body.
[[nodiscard]] HttpRequest parseRequest(std::string_view received);

} // namespace zevra
