#include "request_input_check.h"

#include "base/utf8.h"
#include "server/http_framing.h"
#include "server/request_path.h"
#include "server/request_reader.h"
#include "server/safe_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <span>

namespace zevra::fuzzing {
namespace {

// Hands out the input in pieces of one size, then reports the end of the stream.
class PiecewiseStream final : public ByteStream {
public:
    PiecewiseStream(std::string_view bytes, std::size_t pieceSize)
        : bytes_(bytes), pieceSize_(pieceSize) {}

    [[nodiscard]] long readSome(std::span<char> into) override {
        const auto n = std::min({into.size(), pieceSize_, bytes_.size() - offset_});
        std::memcpy(into.data(), bytes_.data() + offset_, n);
        offset_ += n;
        return static_cast<long>(n);
    }

private:
    std::string_view bytes_;
    std::size_t pieceSize_;
    std::size_t offset_ = 0;
};

bool hasLowerCaseLetter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::optional<std::string> headerValueViolation(std::string_view headers) {
    for (const std::string_view name : {"Host", "Origin", "Referer", "Content-Length", ""}) {
        const auto value = parseHeader(headers, name);
        if (!value) {
            continue;
        }
        if (value->find("\r\n") != std::string::npos) {
            return "a header value spans lines";
        }
        if (!value->empty() && (value->front() == ' ' || value->front() == '\t' ||
                                value->back() == ' ' || value->back() == '\t')) {
            return "a header value is not trimmed";
        }
    }
    if (hostIsLocalShell(headers)) {
        auto host = parseHeader(headers, "host").value_or("");
        std::transform(host.begin(), host.end(), host.begin(),
                       [](char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; });
        if (host != "localhost:18484" && host != "127.0.0.1:18484") {
            return "a foreign Host passed the Host check";
        }
    }
    static_cast<void>(requestIsFromLocalShell(headers));
    return std::nullopt;
}

std::optional<std::string> pathViolation(std::string_view rawPath) {
    const auto normalised = normalisedPath(rawPath);
    const auto question = rawPath.find('?');
    if (question != std::string_view::npos && normalised.query != rawPath.substr(question + 1)) {
        return "the query is not the raw text after the first question mark";
    }
    static const auto root = std::filesystem::temp_directory_path() / "zevra-server-fuzz-root";
    std::string_view relative = normalised.path;
    if (relative.starts_with('/')) {
        relative.remove_prefix(1);
    }
    const auto file = safeFile(root, relative);
    if (!file) {
        return std::nullopt;
    }
    std::error_code error;
    const auto base = std::filesystem::weakly_canonical(root, error).string() + "/";
    if (!file->string().starts_with(base) || file->string().size() == base.size()) {
        return "safeFile resolved a path outside its root: " + file->string();
    }
    if (file->string().find('\0') != std::string::npos) {
        return "safeFile let a NUL through";
    }
    return std::nullopt;
}

std::optional<std::string> requestViolation(const HttpRequest& request, std::string_view stream) {
    if (request.method.empty() || hasLowerCaseLetter(request.method) ||
        request.method.find(' ') != std::string::npos) {
        return "bad method: " + request.method;
    }
    if (request.rawPath.empty() || request.rawPath.find(' ') != std::string::npos) {
        return "bad target: " + request.rawPath;
    }
    if (!isValidUtf8(request.headers) || request.headers.find("\r\n\r\n") != std::string::npos) {
        return "the header text is not UTF-8 or runs past its empty line";
    }
    const auto headerEnd = stream.find("\r\n\r\n");
    const auto rest =
        headerEnd == std::string_view::npos ? std::string_view() : stream.substr(headerEnd + 4);
    if (!rest.starts_with(request.body)) {
        return "the body is not what followed the empty line";
    }
    if (headerEnd != std::string_view::npos && headerEnd + 4 > maxHeaderBytes) {
        return "a header block above the limit was accepted";
    }
    if (headerEnd != std::string_view::npos && isValidUtf8(stream.substr(0, headerEnd)) &&
        parseContentLength(request.headers) > maxBodyBytes) {
        return "a body above the limit was accepted";
    }
    if (auto violation = headerValueViolation(request.headers)) {
        return violation;
    }
    return pathViolation(request.rawPath);
}

} // namespace

std::optional<std::string> requestInputViolation(std::string_view input) {
    const std::size_t pieceSize =
        input.empty() ? requestChunkSize : 1 + static_cast<unsigned char>(input.front()) * 32U;
    const auto stream = input.empty() ? input : input.substr(1);
    PiecewiseStream source(stream, pieceSize);
    const auto result = readRequest(source);
    if (const auto* request = std::get_if<HttpRequest>(&result)) {
        return requestViolation(*request, stream);
    }
    switch (std::get<RequestReadFailure>(result)) {
    case RequestReadFailure::closeSilently:
        return stream.empty() ? std::nullopt
                              : std::optional<std::string>("closed silently after input");
    case RequestReadFailure::headersTooLarge:
        return stream.size() > maxHeaderBytes
                   ? std::nullopt
                   : std::optional<std::string>("431 for a request within the limit");
    case RequestReadFailure::bodyTooLarge:
        return parseContentLength(stream.substr(0, stream.find("\r\n\r\n"))) > maxBodyBytes
                   ? std::nullopt
                   : std::optional<std::string>("413 without a declared length above the limit");
    }
    return "an unknown read result";
}

} // namespace zevra::fuzzing
