#include "support/https_upstream.h"

#include "support/child_process.h"

#include <openssl/ssl.h>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace zevra::testing {
namespace {

std::size_t contentLength(const std::string& head) {
    const std::string name = "\r\ncontent-length:";
    std::string lower = head;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto at = lower.find(name);
    return at == std::string::npos ? 0 : std::stoul(head.substr(at + name.size()));
}

bool writeAllTls(SSL* tls, const std::string& bytes) {
    return bytes.empty() || SSL_write(tls, bytes.data(), static_cast<int>(bytes.size())) > 0;
}

} // namespace

HttpsUpstream::HttpsUpstream(std::vector<std::string> hosts, Handler handler)
    : hosts_(std::move(hosts)), handler_(std::move(handler)),
      context_(SSL_CTX_new(TLS_server_method()), SSL_CTX_free) {
    // A client hanging up on an endless answer must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    std::string names;
    for (const auto& host : hosts_) {
        names += (names.empty() ? "subjectAltName=DNS:" : ",DNS:") + host;
    }
    const auto made =
        runProcess({"/usr/bin/openssl", "req", "-x509", "-newkey", "ed25519", "-nodes", "-days",
                    "2", "-keyout", (folder_.path() / "key.pem").string(), "-out", caFile(),
                    "-subj", "/CN=" + hosts_.front(), "-addext", names});
    EXPECT_EQ(made.exitCode, 0) << made.standardError;
    SSL_CTX_use_certificate_file(context_.get(), caFile().c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_use_PrivateKey_file(context_.get(), (folder_.path() / "key.pem").c_str(),
                                SSL_FILETYPE_PEM);
    loop_.emplace([this](int fd) { serveConnection(fd); });
}

HttpsUpstream::~HttpsUpstream() = default;

std::vector<std::string> HttpsUpstream::connectTo(int hostPort) const {
    std::vector<std::string> entries;
    for (const auto& host : hosts_) {
        entries.push_back(host + ":" + std::to_string(hostPort) +
                          ":127.0.0.1:" + std::to_string(port()));
    }
    return entries;
}

std::vector<UpstreamRequest> HttpsUpstream::requests() const {
    const std::lock_guard guard(lock_);
    return requests_;
}

void HttpsUpstream::serveConnection(int fd) {
    const std::unique_ptr<SSL, decltype(&SSL_free)> tls(SSL_new(context_.get()), SSL_free);
    SSL_set_fd(tls.get(), fd);
    if (SSL_accept(tls.get()) != 1) {
        return;
    }
    UpstreamRequest request;
    const char* name = SSL_get_servername(tls.get(), TLSEXT_NAMETYPE_host_name);
    request.host = name != nullptr ? name : "";
    std::string received;
    char buffer[16384];
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos ||
           received.size() < headEnd + 4 + contentLength(received.substr(0, headEnd))) {
        const int read = SSL_read(tls.get(), buffer, sizeof buffer);
        if (read <= 0) {
            return;
        }
        received.append(buffer, static_cast<std::size_t>(read));
        headEnd = received.find("\r\n\r\n");
    }
    request.head = received.substr(0, headEnd + 2);
    request.body = received.substr(headEnd + 4);
    {
        const std::lock_guard guard(lock_);
        requests_.push_back(request);
    }
    const UpstreamAnswer answer = handler_(request);
    bool open = writeAllTls(tls.get(), answer.bytes);
    while (open && !answer.endless.empty()) {
        open = writeAllTls(tls.get(), answer.endless);
    }
    SSL_shutdown(tls.get());
}

std::string upstreamResponse(const std::string& status, const std::string& headers,
                             const std::string& body) {
    return "HTTP/1.1 " + status + "\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

} // namespace zevra::testing
