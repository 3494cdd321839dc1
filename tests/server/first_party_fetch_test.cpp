#include "server/first_party_fetch.h"

#include "build_config.h"
#include "support/scripted_http_client.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const std::string site = std::string("https://") + config::SiteHost;
const std::string docs = std::string("https://docs.") + config::ReleaseHost;

using ScriptedClient = testing::ScriptedHttpClient;

HttpClientResponse redirect(int status, const std::string& location) {
    return {status, {{"location", location}}, "moved"};
}

std::string header(const HttpClientRequest& request, const std::string& name) {
    for (const auto& [key, value] : request.headers) {
        if (key == name) {
            return value;
        }
    }
    return "(none)";
}

TEST(FirstPartyFetch, RedirectsAreFollowedByHandWithinTheFirstParty) {
    struct Case {
        std::string name;
        std::string method;
        std::vector<HttpClientResponse> answers;
        std::optional<int> status; // absent: no result
        std::string finalURL;      // of the result
        std::string lastMethod;    // of the last request sent
        std::string lastBody;
        std::size_t requests;
    };
    const HttpClientResponse ok{200, {}, "page"};
    const Case cases[] = {
        {"302 after POST becomes GET",
         "POST",
         {redirect(302, "/b"), ok},
         200,
         site + "/b",
         "GET",
         "",
         2},
        {"307 keeps POST", "POST", {redirect(307, "b"), ok}, 200, site + "/a/b", "POST", "{}", 2},
        {"303 after PUT becomes GET",
         "PUT",
         {redirect(303, docs + "/c"), ok},
         200,
         docs + "/c",
         "GET",
         "",
         2},
        {"301 keeps HEAD", "HEAD", {redirect(301, "/h"), ok}, 200, site + "/h", "HEAD", "{}", 2},
        {"five redirects",
         "GET",
         {redirect(302, "/1"), redirect(302, "/2"), redirect(302, "/3"), redirect(302, "/4"),
          redirect(302, "/5"), ok},
         200,
         site + "/5",
         "GET",
         "{}",
         6},
        {"a sixth redirect",
         "GET",
         {redirect(302, "/1"), redirect(302, "/2"), redirect(302, "/3"), redirect(302, "/4"),
          redirect(302, "/5"), redirect(302, "/6")},
         std::nullopt,
         "",
         "GET",
         "{}",
         6},
        {"foreign redirect",
         "GET",
         {redirect(302, "https://accounts.google.com/o")},
         std::nullopt,
         "",
         "GET",
         "{}",
         1},
        {"http redirect",
         "GET",
         {redirect(301, std::string("http://") + config::SiteHost + "/")},
         std::nullopt,
         "",
         "GET",
         "{}",
         1},
        {"3xx without Location", "GET", {{304, {}, ""}}, 304, site + "/a/x", "GET", "{}", 1},
        {"transport failure", "GET", {}, std::nullopt, "", "GET", "{}", 1},
    };
    for (const auto& c : cases) {
        ScriptedClient client;
        client.answers.assign(c.answers.begin(), c.answers.end());
        const auto result =
            fetchNativeFirstParty(client, {site + "/a/x", c.method, "{}", std::nullopt, "tok"});
        EXPECT_EQ(result ? std::optional(result->status) : std::nullopt, c.status) << c.name;
        EXPECT_EQ(result ? result->finalURL : "", c.finalURL) << c.name;
        ASSERT_EQ(client.sent.size(), c.requests) << c.name;
        EXPECT_EQ(client.sent.back().method, c.lastMethod) << c.name;
        EXPECT_EQ(client.sent.back().body, c.lastBody) << c.name;
        EXPECT_EQ(client.sent.back().timeout, std::chrono::seconds(60)) << c.name;
    }
}

TEST(FirstPartyFetch, TokenAndContentTypeHeaders) {
    struct Case {
        std::string url;
        std::string body;
        std::optional<std::string> contentType;
        std::string token;
        std::string expectedType;
        std::string expectedAuthorization;
    };
    const Case cases[] = {
        {site + "/", "{}", std::nullopt, "t", "application/json", "Bearer t"},
        {std::string("https://www.") + config::SiteHost + "/", "a=1", "text/plain", "t",
         "text/plain", "Bearer t"},
        {site + "/", "", "text/plain", "", "text/plain", "(none)"},
        {site + "/", "", std::nullopt, "t", "(none)", "Bearer t"},
        // Release hosts never receive the session.
        {docs + "/", "", std::nullopt, "t", "(none)", "(none)"},
    };
    for (const auto& c : cases) {
        ScriptedClient client;
        client.answers.push_back({200, {}, ""});
        static_cast<void>(
            fetchNativeFirstParty(client, {c.url, "POST", c.body, c.contentType, c.token}));
        ASSERT_EQ(client.sent.size(), 1U) << c.url;
        EXPECT_EQ(header(client.sent[0], "Content-Type"), c.expectedType) << c.url;
        EXPECT_EQ(header(client.sent[0], "Authorization"), c.expectedAuthorization) << c.url;
        const std::string token = c.expectedAuthorization == "(none)" ? "(none)" : c.token;
        EXPECT_EQ(header(client.sent[0], "X-Zevra-Token"), token) << c.url;
    }
    ScriptedClient client;
    EXPECT_FALSE(fetchNativeFirstParty(client, {"https://example.org/", "GET", "", {}, "t"}));
    EXPECT_TRUE(client.sent.empty());
}

} // namespace
} // namespace zevra
