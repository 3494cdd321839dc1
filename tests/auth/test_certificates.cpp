#include "test_certificates.h"

#include "support/child_process.h"

#include <gtest/gtest.h>

namespace zevra::testing {
namespace {

void openssl(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"/usr/bin/openssl"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto result = runProcess(argv);
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
}

} // namespace

TestCertificates makeTestCertificates(const std::filesystem::path& folder,
                                      const std::string& host) {
    const TestCertificates made{folder / "ca.pem", folder / "server.pem", folder / "server.key"};
    const auto caKey = (folder / "ca.key").string();
    const auto request = (folder / "server.csr").string();
    const std::vector<std::string> ecKey = {"-newkey", "ec", "-pkeyopt",
                                            "ec_paramgen_curve:prime256v1", "-nodes"};
    std::vector<std::string> ca = {"req", "-x509"};
    ca.insert(ca.end(), ecKey.begin(), ecKey.end());
    ca.insert(ca.end(), {"-keyout", caKey, "-out", made.caFile.string(), "-days", "2", "-subj",
                         "/CN=ZEVRA test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                         "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
    openssl(ca);
    std::vector<std::string> leaf = {"req"};
    leaf.insert(leaf.end(), ecKey.begin(), ecKey.end());
    leaf.insert(leaf.end(), {"-keyout", made.keyFile.string(), "-out", request, "-subj",
                             "/CN=" + host, "-addext", "subjectAltName=DNS:" + host});
    openssl(leaf);
    openssl({"x509", "-req", "-in", request, "-CA", made.caFile.string(), "-CAkey", caKey,
             "-CAcreateserial", "-out", made.certificateFile.string(), "-days", "2",
             "-copy_extensions", "copy"});
    return made;
}

} // namespace zevra::testing
