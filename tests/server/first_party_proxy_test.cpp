#include "build_config.h"
#include "server/local_server.h"
#include "support/https_upstream.h"
#include "support/local_server_options.h"
#include "support/loopback_client.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const std::string site = config::SiteHost;
const std::string docs = std::string("docs.") + config::ReleaseHost;
const std::string token = "0123456789abcdef0123456789abcdef";
const std::string page = "<html><head><title>t</title></head><body>p</body></html>";

testing::UpstreamAnswer answerFor(const testing::UpstreamRequest& request) {
    using testing::upstreamResponse;
    const std::string line = request.head.substr(0, request.head.find("\r\n"));
    const std::string target =
        line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
    if (target.starts_with("/hop/")) { // a page after <n> redirects
        const int left = std::stoi(target.substr(5));
        const auto next = "Location: /hop/" + std::to_string(left - 1) + "\r\n";
        return {left == 0 ? upstreamResponse("200 OK", "", page)
                          : upstreamResponse("302 Found", next, "")};
    }
    if (target == "/to-port") {
        return {upstreamResponse("302 Found", "Location: https://" + docs + ":8443/p/\r\n", "")};
    }
    if (target == "/set-cookie") {
        return {upstreamResponse("200 OK", "Set-Cookie: sid=abc; Path=/; Secure\r\n", "set")};
    }
    if (target == "/endless") {
        return {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n",
                std::string(1 << 20, 'x')};
    }
    return {upstreamResponse("200 OK", "Content-Type: text/html\r\n", page)};
}

class FirstPartyProxyTest : public ::testing::Test {
protected:
    FirstPartyProxyTest() { start(); }

    void start() {
        auto options =
            testing::localServerOptions(folder.path(), fixture.clock, fixture.executor, session);
        auto connectTo = upstream.connectTo();
        for (const auto& entry : upstream.connectTo(8443)) {
            connectTo.push_back(entry);
        }
        options.firstParty = makeHttpClient({.caFile = upstream.caFile(),
                                             .connectTo = connectTo,
                                             .shareSession = true,
                                             .cookieFile = folder.path() / "cookies"});
        server.reset();
        server = std::make_unique<LocalServer>(std::move(options));
        ASSERT_TRUE(server->start());
    }

    testing::HttpAnswer ask(const std::string& path) {
        const auto answer =
            testing::exchangeRaw(server->listeningPort().value_or(0),
                                 "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n" +
                                     testing::launchKeyHeader + "\r\n",
                                 std::chrono::seconds(30));
        return answer.value_or(testing::HttpAnswer{});
    }

    std::string lastUpstreamHead() const {
        const auto seen = upstream.requests();
        return seen.empty() ? "" : seen.back().host + " " + seen.back().head;
    }

    testing::TemporaryFolder folder;
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session = fixture.makeSession();
    testing::HttpsUpstream upstream{{site, docs}, answerFor};
    std::unique_ptr<LocalServer> server;
};

// Status and type rules are the router's and redirect rules the fetch's; here what only a real
// upstream shows: curl follows no redirect itself, the final origin, the size cap, raw paths.
TEST_F(FirstPartyProxyTest, AnswersThroughARealUpstream) {
    const std::string proxy = "http://127.0.0.1:18484/proxy";
    const std::string proxyError = R"({"detail":"proxy error","ok":false})";
    // Path, then the status line and a part of the answer's body.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"/proxy/", "200 OK", "<base id=\"__ZEVRA_BASE\" href=\"" + proxy + "/\">"},
        {"/proxy/hop/6", "502 Bad Gateway", proxyError},
        {"/proxy/to-port", "200 OK", "var UPSTREAM = \"https://" + docs + ":8443\";"},
        {"/proxy/endless", "502 Bad Gateway", proxyError},
        // An encoded quote stays encoded upstream and cannot close the base tag's attribute.
        {"/proxy/x%22%3E%3Cscript%3E/", "200 OK", "href=\"" + proxy + "/x%22%3E%3Cscript%3E/\">"},
    };
    for (const auto& [path, statusLine, bodyPart] : cases) {
        const auto answer = ask(path);
        EXPECT_TRUE(answer.head.starts_with("HTTP/1.1 " + statusLine + "\r\n")) << path;
        EXPECT_NE(answer.body.find(bodyPart), std::string::npos) << path << ": " << answer.body;
    }
    EXPECT_NE(lastUpstreamHead().find("GET /x%22%3E%3Cscript%3E/ HTTP/1.1"), std::string::npos);
}

TEST_F(FirstPartyProxyTest, TokenGoesOnlyToTheSiteHost) {
    const auto sent = [&](const std::string& path) {
        static_cast<void>(ask(path));
        const auto head = lastUpstreamHead();
        return std::pair(head.find("\r\nAuthorization: Bearer " + token + "\r\n") !=
                             std::string::npos,
                         head.find("\r\nX-Zevra-Token: " + token + "\r\n") != std::string::npos);
    };
    EXPECT_EQ(sent("/proxy/a"), std::pair(false, false)); // signed out
    ASSERT_TRUE(session->activateToken(token));
    EXPECT_EQ(sent("/proxy/a"), std::pair(true, true));
    EXPECT_EQ(sent("/surface/" + docs + "/a"), std::pair(false, false));
}

TEST_F(FirstPartyProxyTest, CookiesSurviveARestart) {
    static_cast<void>(ask("/proxy/set-cookie"));
    static_cast<void>(ask("/proxy/a"));
    EXPECT_NE(lastUpstreamHead().find("\r\nCookie: sid=abc\r\n"), std::string::npos);
    start();
    static_cast<void>(ask("/proxy/b"));
    EXPECT_NE(lastUpstreamHead().find("\r\nCookie: sid=abc\r\n"), std::string::npos);
}

} // namespace
} // namespace zevra
