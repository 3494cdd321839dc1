#include "server/http_framing.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <tuple>

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
        {"Content-Length:  42\t", 42},
        {"Content-Length: +7", 7},
        {"Content-Length: -5", -5},
        {"Content-Length: 0007", 7},
        {"Content-Length: ", 0},
        {"Content-Length: abc", 0},
        {"Content-Length: 12abc", 0},
        {"Content-Length: 1 2", 0},
        {"Content-Length: +", 0},
        {"Content-Length: 9223372036854775807", LLONG_MAX},
        // Too large to hold still reads as too large rather than as no body.
        {"Content-Length: 99999999999999999999999", LLONG_MAX},
        {"Content-Length: -99999999999999999999999", LLONG_MIN},
        {"Host: x", 0},
        {"content-LENGTH: 3\r\nContent-Length: 9", 3},
    };
    for (const auto& [headers, expected] : cases) {
        EXPECT_EQ(parseContentLength("POST / HTTP/1.1\r\n" + std::string(headers)), expected)
            << headers;
    }
}

// The origin (or referer) and the Host the shell's own requests carry, compared exactly.
TEST(HttpFraming, NamesTheShellOriginAndHostExactly) {
    const auto fromShell = requestIsFromLocalShell;
    const auto hostIsShell = hostIsLocalShell;
    const std::tuple<bool (*)(std::string_view), std::string_view, bool> cases[] = {
        {fromShell, "Origin: http://127.0.0.1:18484", true},
        {fromShell, "origin: http://localhost:18484", true},
        {fromShell, "Origin: http://127.0.0.1:18484/", false},
        {fromShell, "Origin: https://127.0.0.1:18484", false},
        {fromShell, "Origin: http://127.0.0.1:18485", false},
        {fromShell, "Origin: null\r\nReferer: http://127.0.0.1:18484/index.html", true},
        {fromShell, "Referer: http://localhost:18484/x", true},
        {fromShell, "Referer: http://127.0.0.1:18484", false},
        {fromShell, "Referer: http://127.0.0.1:184840/", false},
        {fromShell, "Referer: http://evil.example/?http://127.0.0.1:18484/", false},
        {fromShell, "Host: 127.0.0.1:18484", false},
        {hostIsShell, "Host: 127.0.0.1:18484", true},
        {hostIsShell, "host:   LOCALHOST:18484  ", true},
        {hostIsShell, "Host: localhost", false},
        {hostIsShell, "Host: 127.0.0.1:18485", false},
        {hostIsShell, "Host: 127.0.0.1:18484.evil.example", false},
        {hostIsShell, "X-Host: 127.0.0.1:18484", false},
        {hostIsShell, "", false},
    };
    for (const auto& [check, headers, expected] : cases) {
        EXPECT_EQ(check("GET / HTTP/1.1\r\n" + std::string(headers)), expected) << headers;
    }
}

} // namespace
} // namespace zevra
