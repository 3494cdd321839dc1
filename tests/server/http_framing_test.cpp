#include "server/http_framing.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

namespace zevra {
namespace {

constexpr std::string_view sampleHeaders = "GET /index.html HTTP/1.1\r\n"
                                           "Host: 127.0.0.1:18484\r\n"
                                           "Referer: http://127.0.0.1:18484/index.html?a=b:c\r\n"
                                           "X-Empty:\r\n"
                                           "x-tabbed:\t spaced value \t\r\n"
                                           "X-Twice: first\r\n"
                                           "X-Twice: second\r\n"
                                           "X-Spaced : not a match\r\n"
                                           "X-Colons: a::b";

TEST(ParseHeader, FindsTheFirstMatchingLineWithoutRegardToCase) {
    struct Case {
        std::string_view name;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"Host", "127.0.0.1:18484"},
        {"HOST", "127.0.0.1:18484"},
        {"referer", "http://127.0.0.1:18484/index.html?a=b:c"},
        {"X-Empty", ""},
        {"X-Tabbed", "spaced value"},
        {"X-Twice", "first"},
        {"X-Spaced", std::nullopt},
        {"X-Colons", "a::b"},
        {"Origin", std::nullopt},
        // The request line is searched too.
        {"GET /index.html HTTP/1.1", std::nullopt},
        {"GET /index.html HTTP/1.1\r\nHost", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseHeader(sampleHeaders, c.name), c.expected) << c.name;
    }
    EXPECT_EQ(parseHeader("origin: http://localhost:18484\r\nHost: x", "Origin"),
              "http://localhost:18484");
}

TEST(ParseContentLength, AcceptsOnlyWholeDecimalNumbers) {
    struct Case {
        std::string_view value;
        long long expected;
    };
    const Case cases[] = {
        {"12", 12},
        {" 42\t", 42},
        {"+7", 7},
        {"-5", -5},
        {"0007", 7},
        {"33554433", 33554433},
        {"", 0},
        {"abc", 0},
        {"12abc", 0},
        {"1 2", 0},
        {"+", 0},
        {"--1", 0},
        {"0x10", 0},
        {"9223372036854775807", LLONG_MAX},
        // Too large to hold still reads as too large rather than as no body.
        {"99999999999999999999999", LLONG_MAX},
        {"-99999999999999999999999", LLONG_MIN},
    };
    for (const auto& c : cases) {
        const std::string headers = "POST / HTTP/1.1\r\nContent-Length: " + std::string(c.value);
        EXPECT_EQ(parseContentLength(headers), c.expected) << c.value;
    }
    EXPECT_EQ(parseContentLength("POST / HTTP/1.1\r\nHost: x"), 0);
    EXPECT_EQ(parseContentLength("POST / HTTP/1.1\r\ncontent-LENGTH: 3\r\nContent-Length: 9"), 3);
}

TEST(RequestIsFromLocalShell, NamesTheShellOriginExactly) {
    struct Case {
        std::string_view headers;
        bool expected;
    };
    const Case cases[] = {
        {"Origin: http://127.0.0.1:18484", true},
        {"Origin: http://localhost:18484", true},
        {"Origin: http://127.0.0.1:18484/", false},
        {"Origin: https://127.0.0.1:18484", false},
        {"Origin: http://127.0.0.1:18485", false},
        {"Origin: null\r\nReferer: http://127.0.0.1:18484/index.html", true},
        {"Referer: http://localhost:18484/x", true},
        {"Referer: http://127.0.0.1:18484", false},
        {"Referer: http://127.0.0.1:184840/", false},
        {"Referer: http://evil.example/?http://127.0.0.1:18484/", false},
        {"Host: 127.0.0.1:18484", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const std::string headers = "GET / HTTP/1.1\r\n" + std::string(c.headers);
        EXPECT_EQ(requestIsFromLocalShell(headers), c.expected) << c.headers;
    }
}

TEST(HostIsLocalShell, ComparesTheLowerCasedHostExactly) {
    struct Case {
        std::string_view host;
        bool expected;
    };
    const Case cases[] = {
        {"Host: 127.0.0.1:18484", true},
        {"Host: localhost:18484", true},
        {"Host: LOCALHOST:18484", true},
        {"host:   127.0.0.1:18484  ", true},
        {"Host: 127.0.0.1", false},
        {"Host: localhost", false},
        {"Host: 127.0.0.1:18485", false},
        {"Host: evil.example", false},
        {"Host: 127.0.0.1:18484.evil.example", false},
        {"X-Host: 127.0.0.1:18484", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const std::string headers = "GET /health HTTP/1.1\r\n" + std::string(c.host);
        EXPECT_EQ(hostIsLocalShell(headers), c.expected) << c.host;
    }
}

} // namespace
} // namespace zevra
