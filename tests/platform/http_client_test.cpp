#include "platform/http_client.h"

#include "base/unique_fd.h"
#include "support/child_process.h"
#include "support/loopback_client.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>
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

// A listening loopback socket and the certificate made for "zevra.example".
class TlsListener {
public:
    TlsListener() {
        const auto made = testing::runProcess(
            {"/usr/bin/openssl", "req", "-x509", "-newkey", "ed25519", "-nodes", "-keyout",
             (folder.path() / "key.pem").string(), "-out", (folder.path() / "cert.pem").string(),
             "-subj", "/CN=zevra.example", "-addext", "subjectAltName=DNS:zevra.example"});
        EXPECT_EQ(made.exitCode, 0) << made.standardError;
        port = std::to_string(testing::boundPort(socket.get()));
    }

    // One exchange of `client` with this listener answering `answer`; the request head seen.
    std::string exchange(HttpClient& client, const std::string& answer,
                         std::optional<HttpClientResponse>& response,
                         const HttpClientRequest& request = pageRequest(1000)) {
        std::string head;
        std::jthread server([&] { serveOnce(socket.get(), folder.path(), answer, head); });
        response = client.send(request);
        return head;
    }

    static HttpClientRequest pageRequest(std::int64_t limit) {
        HttpClientRequest request;
        request.url = "https://zevra.example/p?q=1";
        request.maxBodyBytes = limit;
        return request;
    }

    std::shared_ptr<HttpClient> client(const std::filesystem::path& cookieFile,
                                       bool trusted = true) const {
        return makeHttpClient({.caFile = trusted ? (folder.path() / "cert.pem").string() : "",
                               .connectTo = {"zevra.example:443:127.0.0.1:" + port},
                               .shareSession = true,
                               .cookieFile = cookieFile});
    }

    testing::TemporaryFolder folder;
    UniqueFd socket = testing::listenOnLoopback(0);
    std::string port;
};

TEST(CurlHttpClient, HttpsExchangesOnTheTrustedCertificateOnly) {
    TlsListener server;
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
    const std::string moved = "HTTP/1.1 302 Found\r\nLocation: https://elsewhere.example/\r\n"
                              "Content-Length: 0\r\nConnection: close\r\n\r\n";
    // What the server sends (nothing: silent until the client gives up), whether its certificate
    // is trusted, the status seen (0: no response), the body, whether the request reached it,
    // and whether the progress report asks to stop.
    const std::tuple<std::string, bool, int, std::string, bool, bool> cases[] = {
        {ok, true, 200, "hello", true, false}, {moved, true, 302, "", true, false}, // not followed
        {ok, false, 0, "", false, false},      {"", true, 0, "", true, false},
        {ok, true, 0, "", true, true},
    };
    for (const auto& [answer, trusted, status, body, requestSeen, stop] : cases) {
        std::optional<HttpClientResponse> response;
        const auto progress = [stop](std::int64_t received, std::int64_t) {
            return !stop || received == 0;
        };
        const std::string head = server.exchange(*server.client({}, trusted), answer, response,
                                                 {"GET",
                                                  "https://zevra.example/api/x",
                                                  {{"X-Sent", "1"}},
                                                  "",
                                                  300ms,
                                                  false,
                                                  std::int64_t{5},
                                                  progress});
        EXPECT_EQ(response.has_value() ? response->status : 0, status) << answer;
        EXPECT_EQ(response.has_value() ? response->body : "", body) << answer;
        const bool seen = head.starts_with("GET /api/x HTTP/1.1\r\n") &&
                          head.find("\r\nHost: zevra.example\r\n") != std::string::npos &&
                          head.find("\r\nX-Sent: 1\r\n") != std::string::npos;
        EXPECT_EQ(seen, requestSeen) << answer << ": " << head;
    }
}

TEST(CurlHttpClient, SharedCookiesPersistAndBodiesAreCapped) {
    TlsListener server;
    const auto jar = server.folder.path() / "state" / "cookies";
    const std::string setting =
        "HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; Path=/; Secure; HttpOnly\r\n"
        "Content-Length: 2\r\nConnection: close\r\n\r\nok";
    const std::string plain = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    std::optional<HttpClientResponse> response;

    const auto first = server.client(jar);
    EXPECT_EQ(server.exchange(*first, setting, response).find("Cookie:"), std::string::npos);
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->finalURL, "https://zevra.example/p?q=1");
    EXPECT_NE(server.exchange(*first, plain, response).find("\r\nCookie: sid=abc\r\n"),
              std::string::npos);
    EXPECT_EQ(std::filesystem::status(jar).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // A new launch reads the stored cookie; a client without the file has none.
    EXPECT_NE(server.exchange(*server.client(jar), plain, response).find("\r\nCookie: sid=abc\r\n"),
              std::string::npos);
    EXPECT_EQ(server.exchange(*server.client({}), plain, response).find("Cookie:"),
              std::string::npos);
    server.folder.write("state/cookies", "\x01garbage\nzevra.example\tFALSE");
    EXPECT_EQ(server.exchange(*server.client(jar), plain, response).find("Cookie:"),
              std::string::npos);
    EXPECT_TRUE(response.has_value());

    // A body one byte over the limit gives no response at all.
    static_cast<void>(server.exchange(*first, plain, response, TlsListener::pageRequest(1)));
    EXPECT_FALSE(response.has_value());
}

} // namespace
} // namespace zevra
