#include "server/request_router.h"

#include "auth/browser_session.h"
#include "server/http_framing.h"
#include "server/memory_byte_sink.h"
#include "support/loopback_client.h"
#include "support/manual_clock.h"
#include "support/memory_keyring.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace zevra {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view indexPage = "<!doctype html><title>shell</title>";
constexpr std::string_view textPlain = "text/plain; charset=utf-8";
constexpr std::string_view shellReferer = "\r\nReferer: http://127.0.0.1:18484/index.html";
constexpr std::string_view extensionOrigin =
    "\r\nOrigin: chrome-extension://abcdefghijklmnopabcdefghijklmnop";
constexpr std::string_view siteOrigin = "\r\nOrigin: https://zevra.example";
constexpr std::string_view connectRefusal = "Invalid or expired app connection request.";

// No site to ask: every identity question goes unanswered.
class SilentSite final : public HttpClient {
public:
    std::optional<HttpClientResponse> send(const HttpClientRequest&) override {
        return std::nullopt;
    }
};

struct Expected {
    int status;
    std::string_view contentType;
    std::string body;
};

// The dispatch over a resources folder and a session in memory.
class RouteTest : public ::testing::Test {
protected:
    RouteTest() {
        folder.write("Resources/index.html", std::string(indexPage));
        folder.write("Resources/style.css", "body{}");
        folder.write("Resources/sub dir/a.txt", "spaced");
        folder.write("secret.txt", "secret");
    }

    // `moreHeaders`: each line with its leading CR LF.
    testing::HttpAnswer ask(std::string method, std::string rawPath,
                            std::string_view moreHeaders = "", std::string body = "") {
        HttpRequest request{method, rawPath, "", std::move(body)};
        request.headers = method + " " + rawPath + " HTTP/1.1\r\nHost: 127.0.0.1:18484" +
                          std::string(moreHeaders);
        testing::MemoryByteSink sink;
        ResponseWriter writer(sink);
        dispatchRequest(RouteServices{folder.path() / "Resources", session}, request, writer);
        return testing::splitAnswer(sink.written).value_or(testing::HttpAnswer{});
    }

    void expectAnswer(const testing::HttpAnswer& answer, const Expected& expected,
                      std::string_view what) {
        EXPECT_EQ(answer.status, expected.status) << what;
        EXPECT_EQ(parseHeader(answer.head, "Content-Type"), expected.contentType) << what;
        EXPECT_EQ(answer.body, expected.body) << what;
    }

    [[nodiscard]] std::string nonce() {
        const auto begun = session.beginBrowserAuth();
        EXPECT_TRUE(begun.has_value());
        return begun.value_or("");
    }

    testing::TemporaryFolder folder;
    testing::TemporaryFolder support;
    testing::ManualClock clock;
    testing::MemoryKeyring keyring;
    BackgroundExecutor executor{2};
    BrowserSession session{BrowserSessionServices{
        .executor = executor,
        .keyring = keyring,
        .version = [] { return std::optional<std::string>("1.0.0"); },
        .applicationSupportFolder = support.path(),
        .clock = clock,
        .random = processSecureRandom(),
        .http = std::make_shared<SilentSite>(),
        .identity = {.siteHost = "zevra.example"},
    }};
};

TEST_F(RouteTest, RequestsReachTheirRuleInOrder) {
    const Expected health{200, "application/json", R"({"ok":true,"service":"zevra-local-shell"})"};
    const Expected index{200, "text/html; charset=utf-8", std::string(indexPage)};
    const Expected refusedJSON{403, "application/json", R"({"ok":false})"};
    const auto notFound = [](std::string path) {
        return Expected{404, textPlain, "Not Found: " + path};
    };
    const struct {
        std::string method;
        std::string rawPath;
        Expected expected;
        std::string_view headers = "";
    } cases[] = {
        {"GET", "/health", health},
        {"POST", "/health", health},
        // Only the exact health path is the health check.
        {"GET", "/health?x=1", notFound("/health")},
        {"GET", "/health/", notFound("/health/")},
        {"GET", "/", index},
        {"GET", "/index.html?v=2", index},
        {"GET", "/style.css", {200, "text/css", "body{}"}},
        {"GET", "/sub%20dir/a.txt", {200, "application/octet-stream", "spaced"}},
        {"GET", "/missing.png", notFound("/missing.png")},
        {"GET", "/sub%20dir", notFound("/sub dir")},
        {"GET", "/%2e%2e/secret.txt", notFound("/../secret.txt")},
        {"GET", "/../secret.txt", notFound("/../secret.txt")},
        {"GET", "//etc/passwd", notFound("//etc/passwd")},
        {"GET", "/index.html%00.png", notFound(std::string("/index.html\0.png", 16))},
        {"GET", "?only", notFound("")},
        // Endpoints not served yet fall through to the resources folder.
        {"GET", "/api/search?q=x", notFound("/api/search")},
        {"GET", "/downloads/%2e%2e/x", notFound("/downloads/../x")},
        // Prefixes: the longer rule comes first, and a longer path still matches its rule.
        {"GET", "/auth-bridgework", {403, textPlain, ""}},
        {"GET", "/app-connection", {403, textPlain, std::string(connectRefusal)}},
        // The status routes answer only the local shell, and only to GET.
        {"POST", "/auth-bridge/status", refusedJSON, shellReferer},
        {"GET", "/auth-bridge/statusx", refusedJSON},
        {"GET", "/auth-bridge/status", refusedJSON, siteOrigin},
        {"GET", "/api/local-auth/status?x", refusedJSON},
        {"POST", "/api/local-auth/status", refusedJSON, "\r\nOrigin: http://127.0.0.1:18484"},
        {"GET",
         "/api/local-auth/status",
         {200, "application/json", R"({"authenticated":false,"ok":true})"},
         "\r\nOrigin: http://localhost:18484"},
    };
    for (const auto& c : cases) {
        expectAnswer(ask(c.method, c.rawPath, c.headers), c.expected, c.method + " " + c.rawPath);
    }
}

TEST_F(RouteTest, ConnectPageOnlyForThePendingNonce) {
    const auto pending = nonce();
    std::string upper = pending;
    for (auto& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const struct {
        std::string method;
        std::string rawPath;
        bool served;
    } cases[] = {
        {"GET", "/app-connect?nonce=" + pending, true},
        {"GET", "/app-connect?other=1&nonce=" + pending + "&automatic=1", true},
        {"POST", "/app-connect?nonce=" + pending, false},
        {"GET", "/app-connect/?nonce=" + pending, false},
        {"GET", "/app-connect?nonce=" + upper, false},
        {"GET", "/app-connect?nonce=" + std::string(64, 'a'), false},
        {"GET", "/app-connect?nonce=" + pending.substr(1), false},
        {"GET", "/app-connect", false},
        {"GET", "/app-connect?nonce=" + pending + "%zz", false},
    };
    for (const auto& c : cases) {
        const auto answer = ask(c.method, c.rawPath);
        EXPECT_EQ(answer.status, c.served ? 200 : 403) << c.method << " " << c.rawPath;
        if (c.served) {
            EXPECT_NE(answer.body.find("<title>ZEVRA — connect app</title>"), std::string::npos);
            EXPECT_EQ(parseHeader(answer.head, "Content-Type"), "text/html; charset=utf-8");
        } else {
            EXPECT_EQ(answer.body, connectRefusal) << c.rawPath;
        }
    }
    clock.advance(601s);
    EXPECT_EQ(ask("GET", "/app-connect?nonce=" + pending).status, 403);
}

// Which nonce, origin and window are accepted is the session's rule; the route adds the method,
// the body limit and how the body is read, and answers without a body either way.
TEST_F(RouteTest, HandoffReadsItsBodyWithinTheLimit) {
    const std::string token = "0123456789abcdefABCDEF0123456789";
    // "N" stands for the pending nonce; `padTo` pads the body with spaces.
    const struct {
        std::string method;
        std::string_view origin;
        std::string body;
        std::size_t padTo;
        int status;
    } cases[] = {
        {"POST", extensionOrigin, R"({"token":")" + token + R"(","nonce":"N"})", 512, 204},
        {"POST", extensionOrigin, R"({"token":")" + token + R"(","nonce":"N"})", 513, 403},
        {"GET", extensionOrigin, R"({"token":")" + token + R"(","nonce":"N"})", 0, 403},
        {"POST", extensionOrigin, R"({"token":" ","nonce":"N"})", 0, 403},
        // Unicode spaces and line breaks around a bare token do not count.
        {"POST", siteOrigin, "\xC2\xA0 " + token + "\xE2\x80\xA8\n", 0, 204},
        // A bare token carries no nonce.
        {"POST", extensionOrigin, token, 0, 403},
    };
    for (const auto& c : cases) {
        session.clearToken();
        std::string body = c.body;
        if (const auto at = body.find("\"N\""); at != std::string::npos) {
            body.replace(at + 1, 1, nonce());
        } else {
            static_cast<void>(nonce());
        }
        body.append(c.padTo > body.size() ? c.padTo - body.size() : 0, ' ');
        expectAnswer(ask(c.method, "/auth-bridge", c.origin, body), {c.status, textPlain, ""},
                     c.body);
        EXPECT_EQ(session.currentToken().has_value(), c.status == 204) << c.body;
    }
}

TEST_F(RouteTest, BridgeStatusReportsAHandoffOnce) {
    const auto status = [&] {
        return nlohmann::json::parse(ask("GET", "/auth-bridge/status", shellReferer).body);
    };
    EXPECT_EQ(status(),
              nlohmann::json({{"ok", true}, {"authenticated", false}, {"handoff_ready", false}}));
    const auto body =
        nlohmann::json({{"token", "0123456789abcdefABCDEF0123456789"}, {"nonce", nonce()}}).dump();
    ASSERT_EQ(ask("POST", "/auth-bridge", extensionOrigin, body).status, 204);
    EXPECT_EQ(status(),
              nlohmann::json({{"ok", true}, {"authenticated", true}, {"handoff_ready", true}}));
    EXPECT_EQ(status(),
              nlohmann::json({{"ok", true}, {"authenticated", true}, {"handoff_ready", false}}));
}

} // namespace
} // namespace zevra
