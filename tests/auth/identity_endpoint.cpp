#include "identity_endpoint.h"

#include <gtest/gtest.h>

#include <thread>

namespace zevra::testing {

IdentityEndpoint::IdentityEndpoint(const TestCertificates& certificates,
                                   const std::filesystem::path& log, const std::string& mode)
    : process_(std::make_unique<BackgroundProcess>(std::vector<std::string>{
          "/usr/bin/python3", std::string(ZEVRA_SOURCE_DIR) + "/tests/auth/identity_server.py",
          certificates.certificateFile.string(), certificates.keyFile.string(), mode,
          log.string()})) {
    // The server reports its port once it listens; a Python start takes well under a second.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < giveUp) {
        const std::string said = process_->standardErrorSoFar();
        const auto found = said.find("PORT ");
        if (found != std::string::npos && said.find('\n', found) != std::string::npos) {
            port_ = static_cast<std::uint16_t>(std::stoi(said.substr(found + 5)));
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "identity server did not start: " << process_->standardErrorSoFar();
}

std::string IdentityEndpoint::connectTo(const std::string& host) const {
    return host + ":443:127.0.0.1:" + std::to_string(port_);
}

} // namespace zevra::testing
