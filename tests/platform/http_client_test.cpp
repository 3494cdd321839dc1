#include "platform/http_client.h"

#include "base/unique_fd.h"
#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <thread>

namespace zevra {
namespace {

using namespace std::chrono_literals;

// Serves one TLS connection: keeps the request head and sends `answer`, or when that is empty
// stays silent until the client hangs up.
void serveOnce(int listener, const std::filesystem::path& folder, const std::string& answer,
               std::string& head) {
    const UniqueFd connection(::accept(listener, nullptr, nullptr));
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(
        SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    SSL_CTX_use_certificate_file(context.get(), (folder / "cert.pem").c_str(), SSL_FILETYPE_PEM);
    SSL_CTX_use_PrivateKey_file(context.get(), (folder / "key.pem").c_str(), SSL_FILETYPE_PEM);
    const std::unique_ptr<SSL, decltype(&SSL_free)> tls(SSL_new(context.get()), SSL_free);
    SSL_set_fd(tls.get(), connection.get());
    char buffer[4096];
    int read = SSL_accept(tls.get()) == 1 ? 1 : 0;
    while (read > 0 && (answer.empty() || head.find("\r\n\r\n") == std::string::npos)) {
        read = SSL_read(tls.get(), buffer, sizeof buffer);
        head.append(buffer, static_cast<std::size_t>(std::max(read, 0)));
    }
    if (read > 0) {
        SSL_write(tls.get(), answer.data(), static_cast<int>(answer.size()));
    }
}

TEST(CurlHttpClient, HttpsExchangesOnTheTrustedCertificateOnly) {
    const testing::TemporaryFolder folder;
    const auto cert = (folder.path() / "cert.pem").string();
    const auto made =
        testing::runProcess({"/usr/bin/openssl", "req", "-x509", "-newkey", "ed25519", "-nodes",
                             "-keyout", (folder.path() / "key.pem").string(), "-out", cert, "-subj",
                             "/CN=zevra.example", "-addext", "subjectAltName=DNS:zevra.example"});
    ASSERT_EQ(made.exitCode, 0) << made.standardError;
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
    const std::string moved = "HTTP/1.1 302 Found\r\nLocation: https://elsewhere.example/\r\n"
                              "Content-Length: 0\r\nConnection: close\r\n\r\n";
    // What the server sends (nothing: silent until the client gives up), whether its certificate
    // is trusted, the status seen (0: no response), the body, whether the request reached it,
    // the longest body accepted, and whether the progress report asks to stop.
    const std::tuple<std::string, bool, int, std::string, bool, std::int64_t, bool> cases[] = {
        {ok, true, 200, "hello", true, 5, false},
        {moved, true, 302, "", true, 5, false}, // not followed
        {ok, false, 0, "", false, 5, false},
        {"", true, 0, "", true, 5, false},
        {ok, true, 0, "", true, 4, false},
        {ok, true, 0, "", true, 5, true},
    };
    for (const auto& [answer, trusted, status, body, requestSeen, maxBody, stop] : cases) {
        const UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        ASSERT_EQ(::bind(listener.get(), any, length), 0);
        ASSERT_EQ(::listen(listener.get(), 1), 0);
        ASSERT_EQ(::getsockname(listener.get(), any, &length), 0);
        std::string head;
        std::jthread server([&] { serveOnce(listener.get(), folder.path(), answer, head); });

        const auto port = std::to_string(ntohs(address.sin_port));
        const auto client =
            makeHttpClient({trusted ? cert : "", {"zevra.example:443:127.0.0.1:" + port}});
        const auto response = client->send(
            {"GET",
             "https://zevra.example/api/x",
             {{"X-Sent", "1"}},
             "",
             300ms,
             false,
             maxBody,
             [stop](std::int64_t received, std::int64_t) { return !stop || received == 0; }});
        ::shutdown(listener.get(), SHUT_RDWR); // ends a wait for a connection that never came
        server.join();
        EXPECT_EQ(response.has_value() ? response->status : 0, status) << answer;
        EXPECT_EQ(response.has_value() ? response->body : "", body) << answer;
        const bool seen = head.starts_with("GET /api/x HTTP/1.1\r\n") &&
                          head.find("\r\nHost: zevra.example\r\n") != std::string::npos &&
                          head.find("\r\nX-Sent: 1\r\n") != std::string::npos;
        EXPECT_EQ(seen, requestSeen) << answer << ": " << head;
    }
}

} // namespace
} // namespace zevra
