#include "server/http_framing.h"
#include "server/request_reader.h"

#include "request_input_check.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace zevra {
namespace {

// Hands out the pieces, split further by the reader's read size, then `finalResult` for ever.
struct MemoryByteStream final : ByteStream {
    explicit MemoryByteStream(std::vector<std::string> scripted, long endResult = 0)
        : pieces(std::move(scripted)), finalResult(endResult) {}

    [[nodiscard]] long readSome(std::span<char> into) override {
        while (rest.empty() && next < pieces.size()) {
            rest = pieces[next++];
        }
        if (rest.empty()) {
            return finalResult;
        }
        const auto n = rest.copy(into.data(), into.size());
        rest.remove_prefix(n);
        delivered += n;
        return static_cast<long>(n);
    }

    std::vector<std::string> pieces;
    long finalResult;
    std::size_t next = 0;
    std::string_view rest;
    std::size_t delivered = 0;
};

HttpRequest requestFrom(std::vector<std::string> pieces, long finalResult = 0) {
    MemoryByteStream stream(std::move(pieces), finalResult);
    return std::get<HttpRequest>(readRequest(stream)); // a refusal throws and fails the test
}

std::optional<RequestReadFailure> failureOf(std::vector<std::string> pieces, long finalResult = 0) {
    MemoryByteStream stream(std::move(pieces), finalResult);
    const auto result = readRequest(stream);
    const auto* failure = std::get_if<RequestReadFailure>(&result);
    return failure ? std::optional(*failure) : std::nullopt;
}

TEST(RequestReader, SplitsTheRequestLine) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"pOsT /auth-bridge?x=1 HTTP/1.1", "POST", "/auth-bridge?x=1"},
        {"", "GET", "/"},
        {"DELETE", "DELETE", "/"},
        {"  GET   /a%20b  HTTP/1.0 extra", "GET", "/a%20b"},
    };
    for (const auto& [requestLine, method, rawPath] : cases) {
        const auto request = requestFrom({requestLine + "\r\nHost: localhost:18484\r\n\r\n"});
        EXPECT_EQ(request.method, method) << requestLine;
        EXPECT_EQ(request.rawPath, rawPath) << requestLine;
        EXPECT_EQ(request.headers, requestLine + "\r\nHost: localhost:18484") << requestLine;
    }
}

TEST(RequestReader, FindsTheEndOfTheHeadersAndTheBodyAcrossReads) {
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 20000\r\n\r\n";
    const std::string body(20000, 'b');
    const auto request =
        requestFrom({head + body.substr(0, 10), body.substr(10, 9000), body.substr(9010)});
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.headers, head.substr(0, head.size() - 4));
    // The body stays bytes: only the headers are decoded.
    const std::string bytes("\xff\0z", 3);
    const auto split = requestFrom({"GET /a HTTP/1.1\r\nHost: h\r", "\n", "\r", "\n" + bytes});
    EXPECT_EQ(split.headers, "GET /a HTTP/1.1\r\nHost: h");
    EXPECT_EQ(split.body, bytes);
}

TEST(RequestReader, KeepsWhateverBodyBytesArrived) {
    // The declared length's header line, what the peer sends and how its stream ends.
    const std::tuple<std::string, std::string, long> cases[] = {
        {"", "abc", 0},                         // no length: the bytes already there
        {"Content-Length: 10\r\n", "abc", 0},   // the peer stops mid-body
        {"Content-Length: 10\r\n", "abcd", -1}, // the read fails mid-body
        {"Content-Length: 2\r\n", "abcdef", 0}, // longer than declared is not cut
    };
    for (const auto& [length, sent, finalResult] : cases) {
        const auto request =
            requestFrom({"POST /x HTTP/1.1\r\n" + length + "\r\n" + sent}, finalResult);
        EXPECT_EQ(request.body, sent) << length << sent;
    }
}

TEST(RequestReader, ReadsNoFurtherThanTheDeclaredBody) {
    // A negative length must not be read as a huge unsigned one: the stream would block here.
    MemoryByteStream negative({"GET /health HTTP/1.1\r\nContent-Length: -5\r\n\r\n", "later"});
    EXPECT_EQ(std::get<HttpRequest>(readRequest(negative)).body, "");
    EXPECT_EQ(negative.delivered, 44U);
    // A peer that keeps sending past its declared body is not read on.
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\n";
    EXPECT_EQ(requestFrom({head + "12345", std::string(1 << 20, 'x')}).body, "12345");
}

TEST(RequestReader, ServesAnUnfinishedHeaderBlockWhenThePeerStops) {
    const auto request = requestFrom({"get /health HTTP/1.1\r\n", "Host: 127.0.0.1:18484\r\n"});
    EXPECT_EQ(request.rawPath, "/health");
    EXPECT_EQ(request.headers, "get /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n");
    EXPECT_EQ(failureOf({}, -1), RequestReadFailure::closeSilently);
}

TEST(RequestReader, HeaderLimitCountsEverythingReceived) {
    const std::string line = "GET /health HTTP/1.1\r\nX-Pad: ";
    const auto padded = [&](std::size_t total, std::string_view ending) {
        return line + std::string(total - line.size() - ending.size(), 'p') + std::string(ending);
    };
    const auto tooLarge = std::optional(RequestReadFailure::headersTooLarge);
    EXPECT_EQ(failureOf({padded(maxHeaderBytes, "\r\n\r\n")}), std::nullopt);
    EXPECT_EQ(failureOf({padded(maxHeaderBytes + 1, "")}), tooLarge);
    // The empty line arrives, but only after more than the limit was received.
    EXPECT_EQ(failureOf({padded(maxHeaderBytes + 1, "\r\n\r\n")}), tooLarge);
    // The empty line comes within the limit, but in a read that takes the total past it.
    EXPECT_EQ(failureOf({padded(60000, ""), "\r\n\r\n" + std::string(7996, 'b')}), tooLarge);
    EXPECT_EQ(failureOf({padded(60000, ""), "\r\n\r\n" + std::string(1000, 'b')}), std::nullopt);
}

TEST(RequestReader, BodyLimitIsDecidedBeforeReadingTheBody) {
    const auto head = [](long long length) {
        return "POST /x HTTP/1.1\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    };
    MemoryByteStream tooLarge({head(maxBodyBytes + 1), std::string(100, 'b')});
    EXPECT_EQ(std::get<RequestReadFailure>(readRequest(tooLarge)),
              RequestReadFailure::bodyTooLarge);
    EXPECT_EQ(tooLarge.delivered, head(maxBodyBytes + 1).size());

    const auto request =
        requestFrom({head(maxBodyBytes), std::string(static_cast<std::size_t>(maxBodyBytes), 'b')});
    EXPECT_EQ(request.body.size(), static_cast<std::size_t>(maxBodyBytes));
    // Room for the declared body and one read, not twice the body.
    EXPECT_LE(request.body.capacity(), maxRequestBytes + requestChunkSize);
}

TEST(RequestReader, DecodesInvalidUtf8WithReplacementAndIgnoresItsLength) {
    // Undecodable header bytes make the declared length unreadable: no body is awaited.
    const auto request = requestFrom({"GET /\xff HTTP/1.1\r\nContent-Length: 3\r\n\r\n", "abc"});
    EXPECT_EQ(request.rawPath, "/\xEF\xBF\xBD");
    EXPECT_EQ(request.headers, "GET /\xEF\xBF\xBD HTTP/1.1\r\nContent-Length: 3");
    EXPECT_EQ(request.body, "");
}

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

// Inputs the fuzzer kept still keep the reader's rules, so a fault it once found stays found.
TEST(ServerFuzzCorpus, EveryInputKeepsTheReaderRules) {
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ZEVRA_SERVER_CORPUS_DIR)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const auto input = testing::readFile(entry.path());
        EXPECT_EQ(fuzzing::requestInputViolation(input), std::nullopt) << entry.path();
        ++replayed;
    }
    EXPECT_GE(replayed, 20U);
}

} // namespace
} // namespace zevra
