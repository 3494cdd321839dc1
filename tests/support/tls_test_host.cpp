#include "support/tls_test_host.h"

#include "support/child_process.h"

#include <openssl/ssl.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>

namespace zevra::testing {

TlsTestHost::TlsTestHost(const std::string& host)
    : host_(host), listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const auto made =
        runProcess({"/usr/bin/openssl", "req", "-x509", "-newkey", "ed25519", "-nodes", "-keyout",
                    (folder_.path() / "key.pem").string(), "-out", caFile(), "-subj", "/CN=" + host,
                    "-addext", "subjectAltName=DNS:" + host});
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    ready_ = made.exitCode == 0 && ::bind(listener_.get(), any, length) == 0 &&
             ::listen(listener_.get(), 4) == 0 && ::getsockname(listener_.get(), any, &length) == 0;
    port_ = ntohs(address.sin_port);
}

std::string TlsTestHost::connectTo() const {
    return host_ + ":443:127.0.0.1:" + std::to_string(port_);
}

void TlsTestHost::stopListening() {
    ::shutdown(listener_.get(), SHUT_RDWR);
}

std::string TlsTestHost::serveOne(const Answer& answer) {
    const UniqueFd connection(::accept(listener_.get(), nullptr, nullptr));
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(
        SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    SSL_CTX_use_certificate_file(context.get(), caFile().c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_use_PrivateKey_file(context.get(), (folder_.path() / "key.pem").c_str(),
                                SSL_FILETYPE_PEM);
    const std::unique_ptr<SSL, decltype(&SSL_free)> tls(SSL_new(context.get()), SSL_free);
    SSL_set_fd(tls.get(), connection.get());
    std::string head;
    char buffer[4096];
    int read = SSL_accept(tls.get()) == 1 ? 1 : 0;
    while (read > 0 && head.find("\r\n\r\n") == std::string::npos) {
        read = SSL_read(tls.get(), buffer, sizeof buffer);
        head.append(buffer, static_cast<std::size_t>(std::max(read, 0)));
    }
    const std::string reply = read > 0 ? answer(head) : "";
    if (reply.empty()) {
        while (read > 0) { // silent until the client hangs up
            read = SSL_read(tls.get(), buffer, sizeof buffer);
        }
        return head;
    }
    for (std::size_t sent = 0; sent < reply.size();) {
        const int wrote =
            SSL_write(tls.get(), reply.data() + sent,
                      static_cast<int>(std::min<std::size_t>(reply.size() - sent, 1 << 20)));
        if (wrote <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(wrote);
    }
    return head;
}

} // namespace zevra::testing
