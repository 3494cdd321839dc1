#include "server/request_reader.h"

#include "base/utf8.h"
#include "server/http_framing.h"

#include <algorithm>
#include <string>

namespace zevra {
namespace {

constexpr std::string_view headerTerminator = "\r\n\r\n";

// Appends one read of at most a chunk to `buffer`; returns what the read returned.
long readChunk(ByteStream& stream, std::string& buffer) {
    const auto before = buffer.size();
    buffer.resize(before + requestChunkSize);
    const long n = stream.readSome(std::span<char>(buffer.data() + before, requestChunkSize));
    buffer.resize(before + static_cast<std::size_t>(std::max(n, 0L)));
    return n;
}

// Room for a request and the slack of its last read, taken in one allocation: growing by
// doubling would cost up to twice the body. A large body asks for the largest request's
// size, which is above the size from which the allocator always gives a block pages of its
// own (32 MiB with glibc); the block then goes back to the system when the request ends
// instead of staying resident in an arena. Only the pages the body fills become resident.
std::size_t bodyBufferBytes(std::size_t needed) {
    constexpr std::size_t largeBodyBytes = 1 << 20;
    constexpr std::size_t largestBuffer = maxRequestBytes + requestChunkSize;
    return needed >= largeBodyBytes ? std::max(needed, largestBuffer) : needed;
}

char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The first two space-separated pieces of the request line; runs of spaces count as one.
void splitRequestLine(std::string_view line, HttpRequest& request) {
    std::string_view pieces[2];
    std::size_t count = 0;
    std::size_t at = 0;
    while (count < 2) {
        at = line.find_first_not_of(' ', at);
        if (at == std::string_view::npos) {
            break;
        }
        const auto end = std::min(line.find(' ', at), line.size());
        pieces[count++] = line.substr(at, end - at);
        at = end;
    }
    request.method = count >= 1 ? std::string(pieces[0]) : "GET";
    std::transform(request.method.begin(), request.method.end(), request.method.begin(),
                   asciiUpper);
    request.rawPath = count >= 2 ? std::string(pieces[1]) : "/";
}

// Builds the request from the whole buffer; the body is moved out of it, not copied.
HttpRequest takeRequest(std::string buffer) {
    HttpRequest request;
    const auto headerEnd = buffer.find(headerTerminator);
    // Carriage returns never belong to a multi-byte sequence, so decoding the header bytes
    // alone gives the same text as decoding everything and cutting at the empty line.
    request.headers = utf8WithReplacement(std::string_view(buffer).substr(0, headerEnd));
    const std::string_view headers = request.headers;
    splitRequestLine(headers.substr(0, headers.find("\r\n")), request);
    if (headerEnd != std::string::npos) {
        buffer.erase(0, headerEnd + headerTerminator.size());
        request.body = std::move(buffer);
    }
    return request;
}

} // namespace

HttpRequest parseRequest(std::string_view received) {
    return takeRequest(std::string(received));
}

RequestReadResult readRequest(ByteStream& stream) {
    std::string buffer;
    std::size_t headerEnd = std::string::npos;
    std::size_t searchFrom = 0;
    while (headerEnd == std::string::npos) {
        if (readChunk(stream, buffer) <= 0) {
            if (buffer.empty()) {
                return RequestReadFailure::closeSilently;
            }
            return takeRequest(std::move(buffer));
        }
        if (buffer.size() >= headerTerminator.size()) {
            headerEnd = buffer.find(headerTerminator, searchFrom);
            searchFrom = buffer.size() - (headerTerminator.size() - 1);
        }
        // Counted over everything received, whether or not the empty line has arrived.
        if (buffer.size() > maxHeaderBytes) {
            return RequestReadFailure::headersTooLarge;
        }
    }

    const std::string_view headerBytes(buffer.data(), headerEnd);
    const long long declared = isValidUtf8(headerBytes) ? parseContentLength(headerBytes) : 0;
    if (declared > maxBodyBytes) {
        return RequestReadFailure::bodyTooLarge;
    }
    const std::size_t bodyStart = headerEnd + headerTerminator.size();
    const auto wanted = static_cast<std::size_t>(std::max(declared, 0LL));
    if (buffer.size() - bodyStart < wanted) {
        stream.expectBody(wanted);
        buffer.reserve(bodyBufferBytes(bodyStart + wanted + requestChunkSize));
    }
    while (buffer.size() <= maxRequestBytes && buffer.size() - bodyStart < wanted) {
        if (readChunk(stream, buffer) <= 0) {
            break;
        }
    }
    return takeRequest(std::move(buffer));
}

} // namespace zevra
