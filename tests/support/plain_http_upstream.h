#pragma once

#include "support/loopback_accept_loop.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zevra::testing {

// A plain HTTP server on 127.0.0.1, one connection after another until it goes. A client that
// takes it for its proxy asks for whole URLs, so it stands for any host.
class PlainHttpUpstream {
public:
    // The bytes to send back for a request's target (the second word of its request line).
    using Handler = std::function<std::string(const std::string& target)>;
    explicit PlainHttpUpstream(Handler handler);

    [[nodiscard]] std::uint16_t port() const { return loop_->port(); }
    // The target of every request served so far, in order.
    [[nodiscard]] std::vector<std::string> targets() const;

private:
    Handler handler_;
    mutable std::mutex lock_;
    std::vector<std::string> targets_;
    // Last, so it stops before what it serves with goes.
    std::optional<LoopbackAcceptLoop> loop_;

    void serveConnection(int fd);
};

} // namespace zevra::testing
