#pragma once

#include "support/loopback_accept_loop.h"
#include "support/temporary_folder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct ssl_ctx_st;

namespace zevra::testing {

struct UpstreamRequest {
    std::string host; // the TLS server name asked for
    std::string head; // request line and header lines
    std::string body;
};

// The bytes to send back for a request; called on the serving thread. An answer's `endless`
// part is then repeated until the client hangs up.
struct UpstreamAnswer {
    std::string bytes;
    std::string endless{};
};

// An HTTPS server on 127.0.0.1 with a certificate made at start for `hosts`, serving one
// connection after another until it goes. Clients reach it through `caFile` and `connectTo`.
class HttpsUpstream {
public:
    using Handler = std::function<UpstreamAnswer(const UpstreamRequest&)>;
    HttpsUpstream(std::vector<std::string> hosts, Handler handler);
    ~HttpsUpstream();
    HttpsUpstream(const HttpsUpstream&) = delete;
    HttpsUpstream& operator=(const HttpsUpstream&) = delete;

    [[nodiscard]] std::string caFile() const { return (folder_.path() / "cert.pem").string(); }
    [[nodiscard]] std::uint16_t port() const { return loop_->port(); }
    // libcurl's connect-to entries sending every host (at `hostPort`) here.
    [[nodiscard]] std::vector<std::string> connectTo(int hostPort = 443) const;
    // Every request served so far, in order.
    [[nodiscard]] std::vector<UpstreamRequest> requests() const;

private:
    TemporaryFolder folder_;
    std::vector<std::string> hosts_;
    Handler handler_;
    std::unique_ptr<ssl_ctx_st, void (*)(ssl_ctx_st*)> context_;
    mutable std::mutex lock_;
    std::vector<UpstreamRequest> requests_;
    // Last, so it stops before what it serves with goes.
    std::optional<LoopbackAcceptLoop> loop_;

    void serveConnection(int fd);
};

// "HTTP/1.1 <status>" with the header lines (each ending in CR LF), a length and the body.
[[nodiscard]] std::string upstreamResponse(const std::string& status, const std::string& headers,
                                           const std::string& body);

} // namespace zevra::testing
