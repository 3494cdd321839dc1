#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zevra {

struct HttpClientRequest {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // The whole exchange, connection included; with `stallTimeout`, the connection and every
    // pause between arriving bytes instead, so a large body may take as long as it needs.
    std::chrono::milliseconds timeout{15000};
    bool stallTimeout = false;
    // A longer body (announced or arriving) fails the exchange, so nothing unbounded is held.
    std::optional<std::int64_t> maxBodyBytes = std::int64_t{64} << 20;
    // Called on the sending thread as the body arrives with the bytes so far and the announced
    // length (-1 when unknown); returning false cancels, and the exchange fails.
    std::function<bool(std::int64_t received, std::int64_t expected)> progress;
};

struct HttpClientResponse {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string finalURL{}; // the URL that answered
};

struct HttpClientOptions {
    // What only tests set: a CA to trust instead of the system's, and where to connect for a
    // host and port ("host:443:127.0.0.1:PORT", libcurl's connect-to form).
    std::string caFile{};
    std::vector<std::string> connectTo{};
    // One cookie store for every exchange of this client (cookies stored and sent), with TLS
    // sessions and connections reused across exchanges.
    bool shareSession = false;
    // Where the shared cookies persist (mode 0600, replaced whole); empty keeps them in memory.
    // A file that cannot be read as a cookie file counts as empty.
    std::filesystem::path cookieFile{};
};

// An exchange's response, or in words for the user why none arrived.
struct HttpClientResult {
    std::optional<HttpClientResponse> response;
    std::string failure{};
};

// One HTTP(S) exchange at a time per call; redirects are never followed. Safe to call from
// several threads at once.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Absent when no HTTP response arrived (connection, TLS or timeout failure).
    [[nodiscard]] virtual std::optional<HttpClientResponse>
    send(const HttpClientRequest& request) = 0;
    // As send, telling what went wrong when nothing usable arrived: a timeout, a refused
    // connection, a TLS failure, a body over its limit.
    [[nodiscard]] virtual HttpClientResult exchange(const HttpClientRequest& request) {
        auto response = send(request);
        const bool answered = response.has_value();
        return {std::move(response), answered ? "" : "No response arrived."};
    }
};

// libcurl.
std::shared_ptr<HttpClient> makeHttpClient(const HttpClientOptions& options = {});

} // namespace zevra
