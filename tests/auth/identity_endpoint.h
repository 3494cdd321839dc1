#pragma once

#include "support/child_process.h"
#include "test_certificates.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace zevra::testing {

// The Python stand-in for the site's identity endpoint, answering every request per `mode`
// (see identity_server.py), over HTTPS with a certificate for the site host.
class IdentityEndpoint {
public:
    IdentityEndpoint(const TestCertificates& certificates, const std::filesystem::path& log,
                     const std::string& mode);

    [[nodiscard]] std::uint16_t port() const { return port_; }
    // "host:443:127.0.0.1:PORT": where the client should connect for the site.
    [[nodiscard]] std::string connectTo(const std::string& host) const;

private:
    std::unique_ptr<BackgroundProcess> process_;
    std::uint16_t port_ = 0;
};

} // namespace zevra::testing
