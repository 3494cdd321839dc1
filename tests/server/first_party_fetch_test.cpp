#include "server/first_party_fetch.h"

#include "build_config.h"
#include "support/scripted_http_client.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const std::string site = std::string("https://") + config::SiteHost;
const std::string docs = std::string("https://docs.") + config::ReleaseHost;

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
    using Answers = std::vector<HttpClientResponse>;
    const HttpClientResponse ok{200, {}, "page"};
    const auto hops = [&](int count) { // redirects to /1 .. /count, then a page
        Answers answers;
        for (int i = 1; i <= count; ++i) {
            answers.push_back(redirect(302, std::string("/").append(std::to_string(i))));
        }
        answers.push_back(ok);
        return answers;
    };
    // Method and answers; then the status (0: no result), its final URL, the last request's
    // method and body, and how many requests went out.
    const std::tuple<std::string, Answers, int, std::string, std::string, std::size_t> cases[] = {
        {"POST", {redirect(302, "/b"), ok}, 200, site + "/b", "GET ", 2},
        {"POST", {redirect(307, "b"), ok}, 200, site + "/a/b", "POST {}", 2},
        {"PUT", {redirect(303, docs + "/c"), ok}, 200, docs + "/c", "GET ", 2},
        {"HEAD", {redirect(301, "/h"), ok}, 200, site + "/h", "HEAD {}", 2},
        {"GET", hops(5), 200, site + "/5", "GET {}", 6},
        {"GET", hops(6), 0, "", "GET {}", 6},
        {"GET", {redirect(302, "https://accounts.google.com/o")}, 0, "", "GET {}", 1},
        {"GET", {redirect(301, "http://" + site.substr(8) + "/")}, 0, "", "GET {}", 1},
        {"GET", {{304, {}, ""}}, 304, site + "/a/x", "GET {}", 1},
        {"GET", {}, 0, "", "GET {}", 1}, // transport failure
    };
    for (const auto& [method, answers, status, finalURL, last, requests] : cases) {
        testing::ScriptedHttpClient client;
        client.answers.assign(answers.begin(), answers.end());
        const auto result =
            fetchNativeFirstParty(client, {site + "/a/x", method, "{}", std::nullopt, "tok"});
        const auto what = method + " " + std::to_string(answers.size());
        EXPECT_EQ(result ? result->status : 0, status) << what;
        EXPECT_EQ(result ? result->finalURL : "", finalURL) << what;
        ASSERT_EQ(client.sent.size(), requests) << what;
        EXPECT_EQ(client.sent.back().method + " " + client.sent.back().body, last) << what;
        EXPECT_EQ(client.sent.back().timeout, std::chrono::seconds(60)) << what;
    }
}

TEST(FirstPartyFetch, TokenAndContentTypeHeaders) {
    using Type = std::optional<std::string>;
    const std::string www = std::string("https://www.") + config::SiteHost + "/";
    // URL, body, given type, token; then the Content-Type and Authorization sent.
    const std::tuple<std::string, std::string, Type, std::string, std::string, std::string>
        cases[] = {
            {site + "/", "{}", std::nullopt, "t", "application/json", "Bearer t"},
            {www, "a=1", "text/plain", "t", "text/plain", "Bearer t"},
            {site + "/", "", "text/plain", "", "text/plain", "(none)"},
            {site + "/", "", std::nullopt, "t", "(none)", "Bearer t"},
            {docs + "/", "", std::nullopt, "t", "(none)", "(none)"}, // release hosts: no session
        };
    for (const auto& [url, body, type, token, sentType, authorization] : cases) {
        testing::ScriptedHttpClient client;
        client.answers.push_back({200, {}, ""});
        static_cast<void>(fetchNativeFirstParty(client, {url, "POST", body, type, token}));
        ASSERT_EQ(client.sent.size(), 1U) << url;
        EXPECT_EQ(header(client.sent[0], "Content-Type"), sentType) << url;
        EXPECT_EQ(header(client.sent[0], "Authorization"), authorization) << url;
        const std::string sentToken = authorization == "(none)" ? "(none)" : token;
        EXPECT_EQ(header(client.sent[0], "X-Zevra-Token"), sentToken) << url;
    }
    testing::ScriptedHttpClient client;
    EXPECT_FALSE(fetchNativeFirstParty(client, {"https://example.org/", "GET", "", {}, "t"}));
    EXPECT_TRUE(client.sent.empty());
}

} // namespace
} // namespace zevra
