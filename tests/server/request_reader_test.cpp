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

TEST(RequestReader, SplitsTheRequestAndKeepsWhateverBodyBytesArrived) {
    using Pieces = std::vector<std::string>;
    const std::string bytes("\xff\0z", 3); // the body stays bytes: only the headers are decoded
    const std::string post = "POST /x HTTP/1.1\r\n";
    const std::string ten = post + "Content-Length: 10\r\n\r\n";
    // The pieces and how the stream ends; then "method path|body" and the headers ("": any).
    const std::tuple<Pieces, long, std::string, std::string> cases[] = {
        {{"pOsT /a?x HTTP/1.1\r\nH: h\r\n\r\n"}, 0, "POST /a?x|", "pOsT /a?x HTTP/1.1\r\nH: h"},
        {{"\r\nH: h\r\n\r\n"}, 0, "GET /|", "\r\nH: h"},
        {{"DELETE\r\n\r\n"}, 0, "DELETE /|", "DELETE"},
        {{"  GET   /a%20b  HTTP/1.0 x\r\n\r\n"}, 0, "GET /a%20b|", ""},
        {{"GET /a HTTP/1.1\r\nH: h\r", "\n", "\r", "\n" + bytes}, 0, "GET /a|" + bytes, ""},
        {{post + "\r\nabc"}, 0, "POST /x|abc", ""}, // no length: the bytes already there
        {{ten + "abc"}, 0, "POST /x|abc", ""},      // the peer stops mid-body
        {{ten + "abcd"}, -1, "POST /x|abcd", ""},   // the read fails mid-body
        {{post + "Content-Length: 2\r\n\r\nabcdef"}, 0, "POST /x|abcdef", ""},
        // An unfinished header block is served when the peer stops.
        {{"get /h HTTP/1.1\r\n", "H: h\r\n"}, 0, "GET /h|", "get /h HTTP/1.1\r\nH: h\r\n"},
        // Undecodable header bytes make the declared length unreadable: no body is awaited.
        {{"GET /\xff HTTP/1.1\r\nContent-Length: 3\r\n\r\n", "abc"}, 0, "GET /\xEF\xBF\xBD|", ""},
    };
    for (const auto& [pieces, finalResult, expected, headers] : cases) {
        const auto request = requestFrom(pieces, finalResult);
        EXPECT_EQ(request.method + " " + request.rawPath + "|" + request.body, expected);
        EXPECT_TRUE(headers.empty() || request.headers == headers) << request.headers;
    }
    EXPECT_EQ(failureOf({}, -1), RequestReadFailure::closeSilently);
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 20000\r\n\r\n";
    const std::string body(20000, 'b');
    EXPECT_EQ(
        requestFrom({head + body.substr(0, 10), body.substr(10, 9000), body.substr(9010)}).body,
        body);
}

TEST(RequestReader, ReadsNoFurtherThanTheDeclaredBody) {
    // A negative length must not be read as a huge unsigned one: the stream would block here.
    MemoryByteStream negative({"GET /health HTTP/1.1\r\nContent-Length: -5\r\n\r\n", "later"});
    EXPECT_EQ(std::get<HttpRequest>(readRequest(negative)).body, "");
    EXPECT_EQ(negative.delivered, 44U);
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\n";
    EXPECT_EQ(requestFrom({head + "12345", std::string(1 << 20, 'x')}).body, "12345");
}

TEST(RequestReader, HeaderLimitCountsEverythingReceived) {
    const std::string line = "GET /health HTTP/1.1\r\nX-Pad: ";
    const auto padded = [&](std::size_t total, std::string_view ending) {
        return line + std::string(total - line.size() - ending.size(), 'p') + std::string(ending);
    };
    const auto tooLarge = std::optional(RequestReadFailure::headersTooLarge);
    EXPECT_EQ(failureOf({padded(maxHeaderBytes, "\r\n\r\n")}), std::nullopt);
    EXPECT_EQ(failureOf({padded(maxHeaderBytes + 1, "")}), tooLarge);
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

constexpr std::string_view sampleHeaders = "GET /index.html HTTP/1.1\r\n"
                                           "Host: 127.0.0.1:18484\r\n"
                                           "X-Empty:\r\n"
                                           "x-tabbed:\t spaced value \t\r\n"
                                           "X-Twice: first\r\n"
                                           "X-Twice: second\r\n"
                                           "X-Spaced : not a match";

TEST(ParseHeader, FindsTheFirstMatchingLineWithoutRegardToCase) {
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"HOST", "127.0.0.1:18484"},
        {"X-Empty", ""},
        {"X-Tabbed", "spaced value"},
        {"X-Twice", "first"},
        {"X-Spaced", std::nullopt},
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
        {"Content-Length: -5", -5},
        {"Content-Length: ", 0},
        {"Content-Length: 12abc", 0},
        // Too large to hold still reads as too large rather than as no body.
        {"Content-Length: 99999999999999999999999", LLONG_MAX},
        {"Content-Length: -99999999999999999999999", LLONG_MIN},
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
        {fromShell, "Origin: http://127.0.0.1:18484/", false},
        {fromShell, "Origin: https://127.0.0.1:18484", false},
        {fromShell, "Origin: null\r\nReferer: http://127.0.0.1:18484/index.html", true},
        {fromShell, "Referer: http://localhost:18484/x", true},
        {fromShell, "Referer: http://127.0.0.1:18484", false},
        {fromShell, "Referer: http://evil.example/?http://127.0.0.1:18484/", false},
        {fromShell, "Host: 127.0.0.1:18484", false},
        {hostIsShell, "Host: 127.0.0.1:18484", true},
        {hostIsShell, "host:   LOCALHOST:18484  ", true},
        {hostIsShell, "Host: 127.0.0.1:18485", false},
        {hostIsShell, "Host: 127.0.0.1:18484.evil.example", false},
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
