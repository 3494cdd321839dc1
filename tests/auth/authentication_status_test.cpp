#include "auth/browser_session.h"

#include "identity_endpoint.h"
#include "session_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
constexpr const char* token = "0123456789abcdefABCDEF0123456789";

class AuthenticationStatusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new testing::TemporaryFolder();
        certificates = testing::makeTestCertificates(folder->path(), "zevra.example");
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }

    void SetUp() override { ZEVRA_REQUIRE_KEYRING(); }
    void TearDown() override {
        if (session != nullptr) {
            session->keychain().deleteToken();
        }
    }

    // Starts the endpoint in `mode` and a session that reaches it as the site.
    void startSite(const std::string& mode, const std::optional<std::string>& signedInWith) {
        endpoint = std::make_unique<testing::IdentityEndpoint>(certificates, requestLog(), mode);
        fixture.http = makeHttpClient(HttpClientOptions{
            .caFile = certificates.caFile.string(),
            .connectTo = {endpoint->connectTo("zevra.example")},
        });
        session = fixture.makeSession();
        if (signedInWith.has_value()) {
            ASSERT_TRUE(session->activateToken(*signedInWith));
        }
    }

    [[nodiscard]] std::filesystem::path requestLog() const {
        return fixture.support.path() / "requests.jsonl";
    }
    [[nodiscard]] std::vector<json> requests() const {
        std::vector<json> lines;
        std::ifstream in(requestLog());
        for (std::string line; std::getline(in, line);) {
            lines.push_back(json::parse(line));
        }
        return lines;
    }

    static inline testing::TemporaryFolder* folder = nullptr;
    static inline testing::TestCertificates certificates;
    testing::SessionFixture fixture;
    std::unique_ptr<testing::IdentityEndpoint> endpoint;
    std::shared_ptr<BrowserSession> session;
};

const json degraded = {{"ok", true}, {"authenticated", true}, {"degraded", true}};
const json signedOut = {{"ok", true}, {"authenticated", false}};

TEST_F(AuthenticationStatusTest, AnswersOfTheSiteWithATokenPresent) {
    const struct {
        const char* mode;
        json status;
        bool tokenKept;
    } cases[] = {
        {"named", {{"ok", true}, {"authenticated", true}, {"username", "ada"}}, true},
        {"anonymous", {{"ok", true}, {"authenticated", true}, {"username", ""}}, true},
        {"username-not-string", {{"ok", true}, {"authenticated", true}, {"username", ""}}, true},
        {"user-not-object", degraded, true},
        {"ok-not-true", degraded, true},
        {"not-json", degraded, true},
        {"empty", degraded, true},
        {"redirect", degraded, true},
        {"server-error", degraded, true},
        {"unauthorized", signedOut, false},
        {"forbidden", signedOut, false},
    };
    for (const auto& c : cases) {
        startSite(c.mode, token);
        EXPECT_EQ(session->authenticationStatus(), c.status) << c.mode;
        const std::optional<std::string> expected =
            c.tokenKept ? std::optional<std::string>(token) : std::nullopt;
        EXPECT_EQ(session->currentToken(), expected) << c.mode;
        EXPECT_EQ(session->keychain().read(), expected) << c.mode;
    }
}

TEST_F(AuthenticationStatusTest, RejectionCancelsABrowserSignInInProgress) {
    startSite("forbidden", token);
    const auto nonce = *session->beginBrowserAuth();
    EXPECT_EQ(session->authenticationStatus(), signedOut);
    EXPECT_FALSE(session->browserAuthIsPending(nonce));
}

TEST_F(AuthenticationStatusTest, SendsTheTokenHeadersAndUserAgent) {
    startSite("named", token);
    static_cast<void>(session->authenticationStatus());
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["path"], "/api/identity/me");
    EXPECT_EQ(sent[0]["headers"]["Authorization"], std::string("Bearer ") + token);
    EXPECT_EQ(sent[0]["headers"]["X-Zevra-Token"], token);
    EXPECT_EQ(sent[0]["headers"]["User-Agent"], "ZEVRA.app/" + fixture.version);
    EXPECT_EQ(sent[0]["headers"]["Host"], "zevra.example");
}

TEST_F(AuthenticationStatusTest, WithoutATokenOnlyAVerifiedIdentityCounts) {
    const struct {
        const char* mode;
        json status;
    } cases[] = {
        {"named", {{"ok", true}, {"authenticated", true}, {"username", "ada"}}},
        {"unauthorized", signedOut},
        {"server-error", signedOut},
    };
    for (const auto& c : cases) {
        startSite(c.mode, std::nullopt);
        EXPECT_EQ(session->authenticationStatus(), c.status) << c.mode;
        const auto sent = requests();
        ASSERT_FALSE(sent.empty());
        EXPECT_FALSE(sent.back()["headers"].contains("Authorization")) << c.mode;
        EXPECT_FALSE(sent.back()["headers"].contains("X-Zevra-Token")) << c.mode;
    }
}

TEST_F(AuthenticationStatusTest, UnknownVersionIsSentAsUnknown) {
    startSite("named", std::nullopt);
    BrowserSessionServices services{
        .keyring = processKeyring(),
        .version = [] { return std::optional<std::string>(); },
        .applicationSupportFolder = fixture.support.path(),
        .clock = fixture.clock,
        .random = fixture.random,
        .http = fixture.http,
        .identity = fixture.identity,
    };
    BrowserSession unversioned(std::move(services));
    static_cast<void>(unversioned.authenticationStatus());
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0]["headers"]["User-Agent"], "ZEVRA.app/unknown");
}

TEST_F(AuthenticationStatusTest, SiteThatNeverAnswersIsDegradedOnceTheWaitEnds) {
    fixture.identity.requestTimeout = 10s;
    fixture.identity.waitLimit = 300ms;
    startSite("silent", token);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(session->authenticationStatus(), degraded);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s); // gave up well before the request
    EXPECT_EQ(session->currentToken(), token);
}

TEST_F(AuthenticationStatusTest, RequestTimeoutEndsAnUnansweredRequest) {
    fixture.identity.requestTimeout = 300ms;
    fixture.identity.waitLimit = 10s;
    startSite("silent", token);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(session->authenticationStatus(), degraded);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s); // did not sit out the wait
    EXPECT_EQ(session->keychain().read(), token);
}

TEST_F(AuthenticationStatusTest, UntrustedCertificateIsDegradedNotSignedOut) {
    startSite("forbidden", token);
    fixture.http = makeHttpClient(
        HttpClientOptions{.caFile = "", .connectTo = {endpoint->connectTo("zevra.example")}});
    const auto strict = fixture.makeSession();
    EXPECT_EQ(strict->authenticationStatus(), json({{"ok", true}, {"authenticated", false}}));
    ASSERT_TRUE(strict->activateToken(token));
    EXPECT_EQ(strict->authenticationStatus(), degraded);
    EXPECT_EQ(strict->currentToken(), token);
    EXPECT_TRUE(requests().empty()); // the TLS handshake failed before any request
}

} // namespace
} // namespace zevra
