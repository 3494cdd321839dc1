#include "server/request_reader.h"

#include "server/memory_byte_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zevra {
namespace {

using testing::MemoryByteStream;

RequestReadResult readFrom(std::vector<std::string> pieces, long finalResult = 0) {
    MemoryByteStream stream(std::move(pieces), finalResult);
    return readRequest(stream);
}

HttpRequest requestFrom(std::vector<std::string> pieces, long finalResult = 0) {
    auto result = readFrom(std::move(pieces), finalResult);
    EXPECT_TRUE(std::holds_alternative<HttpRequest>(result));
    if (auto* request = std::get_if<HttpRequest>(&result)) {
        return std::move(*request);
    }
    return {};
}

std::optional<RequestReadFailure> failureOf(const RequestReadResult& result) {
    if (const auto* failure = std::get_if<RequestReadFailure>(&result)) {
        return *failure;
    }
    return std::nullopt;
}

TEST(RequestReader, SplitsTheRequestLine) {
    struct Case {
        std::string requestLine;
        std::string method;
        std::string rawPath;
    };
    const Case cases[] = {
        {"GET /health HTTP/1.1", "GET", "/health"},
        {"get /health HTTP/1.1", "GET", "/health"},
        {"pOsT /auth-bridge?x=1 HTTP/1.1", "POST", "/auth-bridge?x=1"},
        {"", "GET", "/"},
        {"DELETE", "DELETE", "/"},
        {"  GET   /a%20b  HTTP/1.0 extra", "GET", "/a%20b"},
    };
    for (const auto& c : cases) {
        const auto request = requestFrom({c.requestLine + "\r\nHost: localhost:18484\r\n\r\n"});
        EXPECT_EQ(request.method, c.method) << c.requestLine;
        EXPECT_EQ(request.rawPath, c.rawPath) << c.requestLine;
        EXPECT_EQ(request.headers, c.requestLine + "\r\nHost: localhost:18484") << c.requestLine;
        EXPECT_EQ(request.body, "");
    }
}

TEST(RequestReader, ReadsTheDeclaredBodyAcrossReads) {
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 20000\r\n\r\n";
    const std::string body(20000, 'b');
    const auto request =
        requestFrom({head + body.substr(0, 10), body.substr(10, 9000), body.substr(9010)});
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.headers, head.substr(0, head.size() - 4));
}

TEST(RequestReader, KeepsWhateverBodyBytesArrived) {
    struct Case {
        std::string name;
        std::string contentLength;
        std::string sent;
        long finalResult;
        std::string body;
    };
    const Case cases[] = {
        {"negative length: the bytes already there", "-5", "abc", 0, "abc"},
        {"no length: the bytes already there", "", "abc", 0, "abc"},
        {"peer stops mid-body", "10", "abc", 0, "abc"},
        {"read fails mid-body", "10", "abcd", -1, "abcd"},
        {"longer than declared is not cut", "2", "abcdef", 0, "abcdef"},
        {"a length that is not a number", "ten", "abc", 0, "abc"},
    };
    for (const auto& c : cases) {
        const std::string lengthLine =
            c.contentLength.empty() ? "" : "Content-Length: " + c.contentLength + "\r\n";
        const auto request =
            requestFrom({"POST /x HTTP/1.1\r\n" + lengthLine + "\r\n" + c.sent}, c.finalResult);
        EXPECT_EQ(request.body, c.body) << c.name;
    }
}

TEST(RequestReader, DoesNotWaitForMoreWhenNoBodyIsDeclared) {
    // A negative length must not be read as a huge unsigned one: the stream would block here.
    MemoryByteStream stream({"GET /health HTTP/1.1\r\nContent-Length: -5\r\n\r\n", "later"});
    const auto result = readRequest(stream);
    ASSERT_TRUE(std::holds_alternative<HttpRequest>(result));
    EXPECT_EQ(std::get<HttpRequest>(result).body, "");
    EXPECT_EQ(stream.delivered(), 44U);
}

TEST(RequestReader, ServesAnUnfinishedHeaderBlockWhenThePeerStops) {
    for (const long finalResult : {0L, -1L}) {
        const auto request =
            requestFrom({"get /health HTTP/1.1\r\n", "Host: 127.0.0.1:18484\r\n"}, finalResult);
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.rawPath, "/health");
        EXPECT_EQ(request.headers, "get /health HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n");
        EXPECT_EQ(request.body, "");
    }
}

TEST(RequestReader, ClosesSilentlyWhenNothingArrives) {
    EXPECT_EQ(failureOf(readFrom({}, 0)), RequestReadFailure::closeSilently);
    EXPECT_EQ(failureOf(readFrom({}, -1)), RequestReadFailure::closeSilently);
}

TEST(RequestReader, FindsAnEmptyLineSplitAcrossReads) {
    const auto request = requestFrom({"GET /a HTTP/1.1\r\nHost: h\r", "\n", "\r", "\nbody"});
    EXPECT_EQ(request.headers, "GET /a HTTP/1.1\r\nHost: h");
    EXPECT_EQ(request.body, "body");
}

TEST(RequestReader, HeaderLimitCountsEverythingReceived) {
    const std::string line = "GET /health HTTP/1.1\r\nX-Pad: ";
    const auto padded = [&](std::size_t total, std::string_view ending) {
        return line + std::string(total - line.size() - ending.size(), 'p') + std::string(ending);
    };
    // Exactly at the limit, ending with its empty line: accepted.
    EXPECT_TRUE(
        std::holds_alternative<HttpRequest>(readFrom({padded(maxHeaderBytes, "\r\n\r\n")})));
    // One byte more without an empty line.
    EXPECT_EQ(failureOf(readFrom({padded(maxHeaderBytes + 1, "")})),
              RequestReadFailure::headersTooLarge);
    // The empty line arrives, but only after more than the limit was received.
    EXPECT_EQ(failureOf(readFrom({padded(maxHeaderBytes + 1, "\r\n\r\n")})),
              RequestReadFailure::headersTooLarge);
    // The empty line comes within the limit, but in a read that takes the total past it.
    EXPECT_EQ(failureOf(readFrom({padded(60000, ""), "\r\n\r\n" + std::string(7996, 'b')})),
              RequestReadFailure::headersTooLarge);
    EXPECT_TRUE(std::holds_alternative<HttpRequest>(
        readFrom({padded(60000, ""), "\r\n\r\n" + std::string(1000, 'b')})));
}

TEST(RequestReader, BodyLimitIsDecidedBeforeReadingTheBody) {
    const auto head = [](long long length) {
        return "POST /x HTTP/1.1\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    };
    MemoryByteStream tooLarge({head(maxBodyBytes + 1), std::string(100, 'b')});
    EXPECT_EQ(failureOf(readRequest(tooLarge)), RequestReadFailure::bodyTooLarge);
    EXPECT_EQ(tooLarge.delivered(), head(maxBodyBytes + 1).size());

    const auto request =
        requestFrom({head(maxBodyBytes), std::string(static_cast<std::size_t>(maxBodyBytes), 'b')});
    EXPECT_EQ(request.body.size(), static_cast<std::size_t>(maxBodyBytes));
    // Room for the declared body and one read, not twice the body.
    EXPECT_LE(request.body.capacity(), maxRequestBytes + requestChunkSize);

    EXPECT_EQ(
        failureOf(readFrom({"POST /x HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n"})),
        RequestReadFailure::bodyTooLarge);
}

TEST(RequestReader, StopsReadingOnceTheDeclaredBodyArrived) {
    // A peer that keeps sending past its declared body is not read on.
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\n";
    MemoryByteStream stream({head + "12345", std::string(1 << 20, 'x')});
    const auto result = readRequest(stream);
    ASSERT_TRUE(std::holds_alternative<HttpRequest>(result));
    EXPECT_EQ(std::get<HttpRequest>(result).body, "12345");
}

TEST(RequestReader, DecodesInvalidUtf8WithReplacementAndIgnoresItsLength) {
    // Undecodable header bytes make the declared length unreadable: no body is awaited.
    MemoryByteStream stream({"GET /\xff HTTP/1.1\r\nContent-Length: 3\r\n\r\n", "abc"});
    const auto result = readRequest(stream);
    ASSERT_TRUE(std::holds_alternative<HttpRequest>(result));
    const auto& request = std::get<HttpRequest>(result);
    EXPECT_EQ(request.rawPath, "/\xEF\xBF\xBD");
    EXPECT_EQ(request.headers, "GET /\xEF\xBF\xBD HTTP/1.1\r\nContent-Length: 3");
    EXPECT_EQ(request.body, "");
}

TEST(ParseRequest, KeepsTheBodyAsBytes) {
    const auto request =
        parseRequest(std::string_view("PUT /f HTTP/1.1\r\nHost: h\r\n\r\n\xff\x00z", 31));
    EXPECT_EQ(request.method, "PUT");
    EXPECT_EQ(request.body, std::string("\xff\x00z", 3));
}

} // namespace
} // namespace zevra
