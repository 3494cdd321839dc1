#pragma once

#include <filesystem>
#include <string>

namespace zevra::testing {

// A CA made for this test run and a server certificate it signed for `host`.
struct TestCertificates {
    std::filesystem::path caFile;
    std::filesystem::path certificateFile;
    std::filesystem::path keyFile;
};

// Creates them with the openssl command in `folder`; fails the current test when it cannot.
TestCertificates makeTestCertificates(const std::filesystem::path& folder, const std::string& host);

} // namespace zevra::testing
