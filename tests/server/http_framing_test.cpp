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
                                           "X-Spaced : not a match";

TEST(ParseHeader, FindsTheFirstMatchingLineWithoutRegardToCase) {
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"HOST", "127.0.0.1:18484"},
        {"referer", "http://127.0.0.1:18484/index.html?a=b:c"},
        {"X-Empty", ""},
        {"X-Tabbed", "spaced value"},
        {"X-Twice", "first"},
        {"X-Spaced", std::nullopt},
        {"Origin", std::nullopt},
        // The request line is no header, nor is a name that spans lines.
        {"GET /index.html HTTP/1.1\r\nHost", std::nullopt},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(parseHeader(sampleHeaders, name), expected) << name;
    }
}

TEST(ParseContentLength, AcceptsOnlyWholeDecimalNumbers) {
    const std::pair<std::string_view, long long> cases[] = {
        {" 42\t", 42},
        {"+7", 7},
        {"-5", -5},
        {"0007", 7},
        {"", 0},
        {"abc", 0},
        {"12abc", 0},
        {"1 2", 0},
        {"+", 0},
        {"9223372036854775807", LLONG_MAX},
        // Too large to hold still reads as too large rather than as no body.
        {"99999999999999999999999", LLONG_MAX},
        {"-99999999999999999999999", LLONG_MIN},
    };
    for (const auto& [value, expected] : cases) {
        const std::string headers = "POST / HTTP/1.1\r\nContent-Length: " + std::string(value);
        EXPECT_EQ(parseContentLength(headers), expected) << value;
    }
    EXPECT_EQ(parseContentLength("POST / HTTP/1.1\r\nHost: x"), 0);
    EXPECT_EQ(parseContentLength("POST / HTTP/1.1\r\ncontent-LENGTH: 3\r\nContent-Length: 9"), 3);
}

TEST(RequestIsFromLocalShell, NamesTheShellOriginExactly) {
    const std::pair<std::string_view, bool> cases[] = {
        {"Origin: http://127.0.0.1:18484", true},
        {"origin: http://localhost:18484", true},
        {"Origin: http://127.0.0.1:18484/", false},
        {"Origin: https://127.0.0.1:18484", false},
        {"Origin: http://127.0.0.1:18485", false},
        {"Origin: null\r\nReferer: http://127.0.0.1:18484/index.html", true},
        {"Referer: http://localhost:18484/x", true},
        {"Referer: http://127.0.0.1:18484", false},
        {"Referer: http://127.0.0.1:184840/", false},
        {"Referer: http://evil.example/?http://127.0.0.1:18484/", false},
        {"Host: 127.0.0.1:18484", false},
    };
    for (const auto& [headers, expected] : cases) {
        EXPECT_EQ(requestIsFromLocalShell("GET / HTTP/1.1\r\n" + std::string(headers)), expected)
            << headers;
    }
}

TEST(HostIsLocalShell, ComparesTheLowerCasedHostExactly) {
    const std::pair<std::string_view, bool> cases[] = {
        {"Host: 127.0.0.1:18484", true},
        {"host:   LOCALHOST:18484  ", true},
        {"Host: localhost", false},
        {"Host: 127.0.0.1:18485", false},
        {"Host: 127.0.0.1:18484.evil.example", false},
        {"X-Host: 127.0.0.1:18484", false},
        {"", false},
    };
    for (const auto& [host, expected] : cases) {
        EXPECT_EQ(hostIsLocalShell("GET /health HTTP/1.1\r\n" + std::string(host)), expected)
            << host;
    }
}

} // namespace
} // namespace zevra
