#include "platform/http_client.h"

#include "support/tls_test_host.h"

#include <gtest/gtest.h>

#include <thread>

namespace zevra {
namespace {

using namespace std::chrono_literals;

TEST(CurlHttpClient, HttpsExchangesOnTheTrustedCertificateOnly) {
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
        testing::TlsTestHost host("zevra.example");
        ASSERT_TRUE(host.ready());
        std::string head;
        std::jthread server(
            [&] { head = host.serveOne([&](const std::string&) { return answer; }); });
        const auto client = makeHttpClient({trusted ? host.caFile() : "", {host.connectTo()}});
        const auto response = client->send(
            {"GET",
             "https://zevra.example/api/x",
             {{"X-Sent", "1"}},
             "",
             300ms,
             false,
             maxBody,
             [stop](std::int64_t received, std::int64_t) { return !stop || received == 0; }});
        host.stopListening(); // ends a wait for a connection that never came
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
