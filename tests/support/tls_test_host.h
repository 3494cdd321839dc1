#pragma once

#include "base/unique_fd.h"
#include "support/temporary_folder.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zevra::testing {

// An HTTPS host on a loopback port with a certificate for `host` made at test time. Each
// connection's request head goes to `answer`, whose text is sent back whole; an empty answer
// keeps the connection silent until the client hangs up.
class TlsTestHost {
public:
    using Answer = std::function<std::string(const std::string& head)>;

    explicit TlsTestHost(const std::string& host);

    [[nodiscard]] bool ready() const { return ready_; }
    [[nodiscard]] std::uint16_t port() const { return port_; }
    [[nodiscard]] std::string caFile() const { return (folder_.path() / "cert.pem").string(); }
    // libcurl's connect-to entry that sends `host`:443 here.
    [[nodiscard]] std::string connectTo() const;

    // Serves one connection; returns its request head.
    std::string serveOne(const Answer& answer);
    // Ends a wait for a connection that never came.
    void stopListening();

private:
    TemporaryFolder folder_;
    std::string host_;
    UniqueFd listener_;
    std::uint16_t port_ = 0;
    bool ready_ = false;
};

} // namespace zevra::testing
