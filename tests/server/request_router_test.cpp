#include "server/request_router.h"

#include "auth/browser_session.h"
#include "base/shell_address.h"
#include "build_config.h"
#include "search/local_roots.h"
#include "server/http_framing.h"
#include "server/local_server.h"
#include "server/memory_byte_sink.h"
#include "server/request_path.h"
#include "server/safe_file.h"
#include "server/workspace_view.h"
#include "support/local_server_options.h"
#include "support/loopback_client.h"
#include "support/scripted_http_client.h"
#include "support/session_fixture.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>
#include <tuple>

namespace zevra {
namespace {

const std::string shellReferer = "\r\nReferer: http://127.0.0.1:18484/index.html";
const std::string extensionOrigin =
    "\r\nOrigin: chrome-extension://abcdefghijklmnopabcdefghijklmnop";
const std::string token = "0123456789abcdefABCDEF0123456789";

class RouteTest : public ::testing::Test {
protected:
    RouteTest() {
        setenv("HOME", folder.path().c_str(), 1);
        setenv("ZEVRA_WORKSPACE_ROOT", (folder.path() / "work").c_str(), 1);
        folder.write("Resources/index.html", "shell");
        folder.write("Resources/sub dir/a.txt", "spaced");
        folder.write("Resources/tools/t.html", "tool");
        folder.write("secret.txt", "secret");
        options = testing::localServerOptions(folder.path() / "Resources", fixture.clock,
                                              fixture.executor, session, &revealed);
    }

    // `request`: method and raw path, then any more header lines, each with its leading CR LF.
    // Sent with the launch key, as the app's own views do, unless `withKey` is false.
    testing::HttpAnswer ask(const std::string& request, std::string body = "",
                            bool withKey = true) {
        const auto line = request.substr(0, request.find("\r\n"));
        const auto space = line.find(' ');
        const std::string key = withKey ? "\r\n" + testing::launchKeyHeader : "\r\n";
        const HttpRequest asked{line.substr(0, space), line.substr(space + 1),
                                line + " HTTP/1.1\r\nHost: 127.0.0.1:18484" +
                                    request.substr(line.size()) + key.substr(0, key.size() - 2),
                                std::move(body)};
        testing::MemoryByteSink sink;
        ResponseWriter writer(sink);
        dispatchRequest(routeServicesFor(options), asked, writer);
        return testing::splitAnswer(sink.written).value_or(testing::HttpAnswer{});
    }

    testing::TemporaryFolder folder;
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session = fixture.makeSession();
    std::vector<std::filesystem::path> revealed;
    LocalServerOptions options;
};

TEST_F(RouteTest, ProxyAnswersCarryOnlyStatusTypeAndBody) {
    const std::string page = "<html><head><title>t</title>";
    const std::string base = "<html><head><base id=\"__ZEVRA_BASE\" href=\"http://127.0.0.1:18484";
    const std::string html = "text/html";
    // Request; upstream status line, type and body; then the answer's type and the start of its
    // body ("": the upstream body unchanged). Upstream cookies never reach the shell.
    const std::tuple<std::string, std::string, std::string, std::string, std::string, std::string>
        cases[] = {
            {"GET /proxy/", "200 OK", " text/html ", page, html, base + "/proxy/\">"},
            {"GET /proxy/a/b", "404 Not Found", html, page, html, ""},
            {"GET /proxy/x.css", "200 OK", "text/html\r\nX: y", "a{}", "text/css", ""},
            {"GET /api/x", "500 Internal Server Error", "", "{}", "application/json", ""},
            {"GET /proxy/p.html", "200 OK", "", "<head>\xff", html + "; charset=utf-8", ""},
            {"GET /proxy/f.woff2", "299 Success", "", "w", "font/woff2", ""},
        };
    for (const auto& [request, statusLine, upType, body, type, bodyStart] : cases) {
        auto upstream = std::make_shared<testing::ScriptedHttpClient>();
        HttpClientResponse upstreamAnswer{std::stoi(statusLine), {{"Set-Cookie", "a=1"}}, body};
        if (!upType.empty()) {
            upstreamAnswer.headers.emplace_back("Content-Type", upType);
        }
        upstream->answers.push_back(upstreamAnswer);
        options.firstParty = upstream;
        const auto answer = ask(request);
        EXPECT_TRUE(answer.head.starts_with("HTTP/1.1 " + statusLine + "\r\n")) << answer.head;
        EXPECT_EQ(parseHeader(answer.head, "Content-Type"), type) << request;
        EXPECT_EQ(answer.head.find("Set-Cookie"), std::string::npos) << request;
        if (bodyStart.empty()) {
            EXPECT_EQ(answer.body, body) << request;
        } else {
            EXPECT_TRUE(answer.body.starts_with(bodyStart)) << request << ": " << answer.body;
        }
    }
}

// Path decoding, traversal and content types have their own tables; here each rule is reached.
// Without the launch key only the health check, connect page, handoff and shell files answer.
TEST_F(RouteTest, RequestsReachTheirRuleInOrder) {
    folder.write("Desktop/ZEVRA Downloads/x.txt", "saved");
    const std::string refusedJSON = R"({"ok":false})";
    const std::string proxyError = R"({"detail":"proxy error","ok":false})";
    const std::string health = R"({"ok":true,"service":"zevra-local-shell"})";
    const std::string notFound = "Not Found: ";
    const std::string keyCookie =
        "\r\nCookie: a=b; zevra_launch_key=" + std::string(testing::testLaunchKey);
    const bool key = true, none = false;
    // The request with any more header lines and whether it has the key; the answer's status, body.
    const std::tuple<std::string, bool, int, std::string> cases[] = {
        {"POST /health", key, 200, health},
        {"GET /health?x=1", key, 404, notFound + "/health"},
        {"GET /", key, 200, "shell"},
        {"GET /sub%20dir/a.txt", key, 200, "spaced"},
        {"GET /%2e%2e/secret.txt", key, 404, notFound + "/../secret.txt"},
        {"GET /index.html%00.png", key, 404, notFound + std::string("/index.html\0.png", 16)},
        {"GET /api/search?q=zz%20q+x&q=y", key, 200,
         R"({"ok":true,"query":"zz q+x","results":[]})"},
        {"GET /api/downloads?x", key, 200, R"({"items":[],"ok":true})"},
        {"GET /%61pi/x", key, 502, proxyError},
        {"POST /surface/x", key, 403, R"({"detail":"unsupported surface host","ok":false})"},
        {"POST /surface/docs." + std::string(config::ReleaseHost) + "/", key, 502, proxyError},
        {"GET /vibe-codes/t.html", key, 200, "tool"},
        {"GET /vibe-codes/%2e%2e/index.html", key, 404, notFound + "/vibe-codes/../index.html"},
        {"GET /downloads/%2e%2e/secret.txt", key, 404, notFound + "/downloads/../secret.txt"},
        {"GET /api/reveal-downloads" + shellReferer, key, 403, refusedJSON},
        {"POST /api/reveal-downloads", key, 403, refusedJSON},
        // Prefixes: the longer rule comes first, and a longer path still matches its rule.
        {"GET /auth-bridgework", key, 403, ""},
        {"GET /app-connection", key, 403, "Invalid or expired app connection request."},
        // The status routes answer only the local shell, and only to GET.
        {"POST /auth-bridge/status" + shellReferer, key, 403, refusedJSON},
        {"GET /auth-bridge/statusx", key, 403, refusedJSON},
        {"GET /api/local-auth/status?x", key, 403, refusedJSON},
        {"POST /api/local-auth/status\r\nOrigin: http://127.0.0.1:18484", key, 403, refusedJSON},
        {"GET /api/local-auth/status\r\nOrigin: http://localhost:18484", key, 200,
         R"({"authenticated":false,"ok":true})"},
        {"GET /health", none, 200, health},
        {"GET /index.html", none, 200, "shell"},
        {"GET /app-connect?nonce=00", none, 403, "Invalid or expired app connection request."},
        {"POST /auth-bridge" + extensionOrigin, none, 403, ""}, // refused by its nonce only
        {"GET /downloads/x.txt" + keyCookie, none, 200, "saved"},
        {"GET /auth-bridge/status" + shellReferer, none, 403, refusedJSON},
        {"GET /api/local-auth/status" + shellReferer, none, 403, refusedJSON},
        {"GET /api/search?q=a", none, 403, refusedJSON},
        {"GET /api/downloads", none, 403, refusedJSON},
        {"POST /api/reveal-downloads" + shellReferer, none, 403, refusedJSON},
        {"GET /api/verify", none, 403, refusedJSON},
        {"POST /proxy/account", none, 403, refusedJSON},
        {"GET /surface/docs.example/", none, 403, refusedJSON},
        {"GET /workspace-view?file=x", none, 403, "Forbidden"},
        {"GET /vibe-codes/t.html", none, 403, "Forbidden"},
        {"GET /downloads/x.txt", none, 403, "Forbidden"},
    };
    for (const auto& [request, withKey, status, body] : cases) {
        const auto answer = ask(request, "", withKey);
        EXPECT_EQ(answer.status, status) << request;
        EXPECT_EQ(answer.body, body) << request;
    }
    EXPECT_TRUE(revealed.empty());
}

TEST_F(RouteTest, LocalEndpointsAnswerTheShell) {
    const auto found = nlohmann::json::parse(ask("GET /api/search?q=Home").body);
    EXPECT_EQ(found.at("results").at(0).at("open_url"),
              std::string("https://") + config::SiteHost + "/");
    EXPECT_EQ(ask("POST /api/reveal-downloads" + shellReferer).body, R"({"ok":true})");
    const auto folderPath = folder.path() / "Desktop/ZEVRA Downloads";
    EXPECT_EQ(revealed, std::vector<std::filesystem::path>{folderPath});
    EXPECT_TRUE(std::filesystem::is_directory(folderPath));
    // A saved page is shown, but never with the shell's origin.
    folder.write("Desktop/ZEVRA Downloads/x.html", "<script>steal()</script>");
    const auto saved = ask("GET /downloads/x.html");
    EXPECT_EQ(saved.body, "<script>steal()</script>");
    EXPECT_EQ(parseHeader(saved.head, "Content-Security-Policy"), "sandbox");
    EXPECT_EQ(parseHeader(saved.head, "X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(parseHeader(ask("GET /index.html").head, "Content-Security-Policy"), std::nullopt);
}

TEST_F(RouteTest, WorkspaceViewShowsOnlyAllowedRegularFilesEscaped) {
    const auto work = folder.path() / "work";
    const auto kelmor = work / "_deploy/kelmor";
    folder.write("work/_deploy/kelmor/a.md", "x </pre><script>\"&");
    folder.write("work/_deploy/kelmor/R&D #1+2=3.md", "rd");
    folder.write("work/_deploy/kelmor/data.json", R"({"a":[1]})");
    folder.write("work/_deploy/kelmor/bad.json", "{oops");
    folder.write("work/GANDRO_HANDOFF_APRIL4.md", "handoff");
    folder.write("work/other.md", "other");
    std::filesystem::create_symlink(folder.path() / "secret.txt", kelmor / "out.md");
    std::filesystem::create_symlink("/dev/zero", kelmor / "zero.md");
    std::filesystem::resize_file(folder.write("work/_deploy/kelmor/big.md", ""),
                                 largestWorkspacePreview + 1);
    // What the page's text holds; empty for 404 "Not found.".
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {kelmor / "a.md", "<pre>x &lt;/pre&gt;&lt;script&gt;&quot;&amp;</pre>"},
        {kelmor / "R&D #1+2=3.md", "<h1>R&amp;d #1+2=3</h1>"},
        {kelmor / "data.json", "{\n  &quot;a&quot;: [\n    1\n  ]\n}"},
        {kelmor / "bad.json", "<pre>{oops</pre>"},
        {work / "GANDRO_HANDOFF_APRIL4.md", "<div class=\"path\">~/work/GANDRO_HANDOFF_APRIL4.md"},
        {kelmor / "../../other.md", ""},
        {kelmor / "out.md", ""},
        {kelmor / "zero.md", ""},
        {kelmor / "big.md", ""},
    };
    for (const auto& [file, shown] : cases) {
        const auto answer =
            ask("GET " + workspaceViewURL(file.string()).substr(loopbackBase.size()));
        EXPECT_EQ(answer.status, shown.empty() ? 404 : 200) << file;
        EXPECT_NE(answer.body.find(shown.empty() ? "Not found." : shown), std::string::npos)
            << file << answer.body;
    }
    EXPECT_EQ(ask("GET /workspace-view?file=x").body, "Not found.");
}

// Which nonce is pending, and for how long, is the session's rule; the route finds the nonce.
TEST_F(RouteTest, ConnectPageOnlyForThePendingNonce) {
    const auto pending = session->beginBrowserAuth().value_or("");
    const std::pair<std::string, bool> cases[] = {
        {"GET /app-connect?other=1&nonce=" + pending + "&automatic=1", true},
        {"POST /app-connect?nonce=" + pending, false},
        {"GET /app-connect/?nonce=" + pending, false},
        {"GET /app-connect?nonce=" + pending + "%zz", false},
    };
    for (const auto& [request, served] : cases) {
        const auto answer = ask(request);
        EXPECT_EQ(answer.status, served ? 200 : 403) << request;
        const auto page = answer.body.find("<title>ZEVRA — connect app</title>");
        EXPECT_EQ(page != std::string::npos, served) << request;
        const auto type = served ? "text/html; charset=utf-8" : "text/plain; charset=utf-8";
        EXPECT_EQ(parseHeader(answer.head, "Content-Type"), type);
    }
}

// The origin and nonce rules are the session's; the route adds the method, the body limit and
// how the body is read, and answers without a body either way.
TEST_F(RouteTest, HandoffReadsItsBodyWithinTheLimit) {
    const std::string json = R"({"token":")" + token + R"(","nonce":"N"})";
    // "N" stands for the pending nonce; the body is padded with spaces to the given size.
    const std::tuple<std::string, std::string, std::string, std::size_t, int> cases[] = {
        {"POST", extensionOrigin, json, 512, 204},
        {"POST", extensionOrigin, json, 513, 403},
        {"GET", extensionOrigin, json, 0, 403},
        {"POST", extensionOrigin, R"({"token":" ","nonce":"N"})", 0, 403},
        // Unicode spaces and line breaks around a bare token do not count.
        {"POST", "\r\nOrigin: https://zevra.example", "\xC2\xA0 " + token + "\xE2\x80\xA8\n", 0,
         204},
    };
    for (auto [method, origin, body, padTo, status] : cases) {
        session->clearToken();
        const auto pending = session->beginBrowserAuth().value_or("");
        if (const auto at = body.find("\"N\""); at != std::string::npos) {
            body.replace(at + 1, 1, pending);
        }
        body.append(padTo > body.size() ? padTo - body.size() : 0, ' ');
        const auto answer = ask(method + " /auth-bridge" + origin, body);
        EXPECT_EQ(answer.status, status) << body;
        EXPECT_EQ(answer.body, "") << body;
        EXPECT_EQ(session->currentToken().has_value(), status == 204) << body;
    }
    // The shell learns of the last one, once.
    for (const std::string ready : {"true", "false"}) {
        EXPECT_EQ(ask("GET /auth-bridge/status" + shellReferer).body,
                  R"({"authenticated":true,"handoff_ready":)" + ready + R"(,"ok":true})");
    }
}

TEST(NormalisedPath, CutsTheQueryMapsTheRootAndDecodes) {
    // The raw path, then the path and query it gives.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"/?v=2", "/index.html", "v=2"},
        {"/a%20b?a=%20&b", "/a b", "a=%20&b"},
        {"/%2e%2e/caf%C3%A9%2F", "/../caf\xC3\xA9/", ""},
        // Invalid escapes, or escapes that are not UTF-8, leave the path as it came.
        {"/100%", "/100%", ""},
        {"/%ff", "/%ff", ""},
        {"?only", "", "only"},
    };
    for (const auto& [rawPath, path, query] : cases) {
        const auto result = normalisedPath(rawPath);
        EXPECT_EQ(result.path, path) << rawPath;
        EXPECT_EQ(result.query, query) << rawPath;
    }
    // NUL is decoded for later checks to refuse.
    EXPECT_EQ(removingPercentEncoding("a%00b"), std::string("a\0b", 3));
}

TEST(SafeFile, ResolvesInsideTheRootAndRefusesEverythingThatLeavesIt) {
    const testing::TemporaryFolder folder;
    const std::filesystem::path root = folder.path() / "root";
    folder.write("root/index.html", "shell");
    folder.write("root/css/site.css", "css");
    folder.write("outside/secret.txt", "secret");
    std::filesystem::create_symlink(folder.path() / "outside", root / "escape");
    std::filesystem::create_symlink(folder.path() / "outside/secret.txt", root / "secret-link");
    std::filesystem::create_symlink("css/site.css", root / "inner-link");
    // A root reached through a symbolic link works like the real folder.
    std::filesystem::create_symlink(root, folder.path() / "root-link");
    const std::filesystem::path realRoot = std::filesystem::canonical(root);

    const std::pair<std::string, std::string> inside[] = {
        {"css/../index.html", "index.html"},
        {"inner-link", "css/site.css"},
        // A leading slash is a component under the root, not the file system's root.
        {"/index.html", "index.html"},
        {"new/missing.txt", "new/missing.txt"},
    };
    for (const auto& [relative, expected] : inside) {
        EXPECT_EQ(safeFile(root, relative), realRoot / expected) << relative;
    }
    EXPECT_EQ(safeFile(folder.path() / "root-link", "index.html"), realRoot / "index.html");

    const std::string refused[] = {"",
                                   "css/..",
                                   "..",
                                   "css/../../outside/secret.txt",
                                   "escape/secret.txt",
                                   "secret-link",
                                   "/../outside/secret.txt",
                                   "../root",
                                   "../rootx/file",
                                   std::string("index.html\0.txt", 15)};
    for (const auto& relative : refused) {
        EXPECT_EQ(safeFile(root, relative), std::nullopt) << relative;
    }
}

} // namespace
} // namespace zevra
