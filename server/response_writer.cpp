#include "server/response_writer.h"

#include "base/read_only_file.h"
#include "server/content_type.h"

#include <nlohmann/json.hpp>

namespace zevra {
namespace {

// Files up to this size are read whole before answering, so a read error is still a 404;
// larger ones are copied by the kernel after the header, without passing through our memory.
constexpr std::size_t readWholeFileBytes = std::size_t{64} * 1024;

std::string headerSetB(std::string_view contentType, std::size_t contentLength,
                       ResponseWriter::Sandbox sandbox) {
    std::string header;
    header.reserve(192);
    header.append("HTTP/1.1 200 OK\r\n");
    header.append("Content-Type: ").append(contentType).append("\r\n");
    header.append("Cache-Control: no-store, must-revalidate\r\n");
    header.append("Pragma: no-cache\r\n");
    header.append("X-Content-Type-Options: nosniff\r\n");
    if (sandbox == ResponseWriter::Sandbox::untrustedContent) {
        header.append("Content-Security-Policy: sandbox\r\n");
    }
    header.append("Content-Length: ").append(std::to_string(contentLength)).append("\r\n");
    header.append("Connection: close\r\n");
    header.append("\r\n");
    return header;
}

} // namespace

std::string headerSetA(std::string_view status, std::string_view contentType,
                       std::size_t contentLength) {
    std::string header;
    header.reserve(192 + status.size() + contentType.size());
    header.append("HTTP/1.1 ").append(status).append("\r\n");
    header.append("Content-Type: ").append(contentType).append("\r\n");
    header.append("Cache-Control: no-store\r\n");
    header.append("X-Content-Type-Options: nosniff\r\n");
    header.append("Referrer-Policy: no-referrer\r\n");
    header.append("Connection: close\r\n");
    header.append("Content-Length: ").append(std::to_string(contentLength)).append("\r\n");
    header.append("\r\n");
    return header;
}

void ResponseWriter::sendResponse(std::string_view status, std::string_view contentType,
                                  std::string_view body) {
    static_cast<void>(sink_.writeAnswer(headerSetA(status, contentType, body.size()), body));
}

void ResponseWriter::sendJSON(const nlohmann::json& object, std::string_view status) {
    std::string data;
    try {
        data = object.dump();
    } catch (const nlohmann::json::exception&) {
        sendResponse("500 Internal Server Error", "application/json",
                     R"({"ok":false,"detail":"json encode error"})");
        return;
    }
    sendResponse(status, "application/json", data);
}

void ResponseWriter::sendStaticFile(const std::optional<std::filesystem::path>& file,
                                    std::string_view path, Sandbox sandbox) {
    if (!file || file->empty()) {
        sendNotFound(path);
        return;
    }
    const auto opened = ReadOnlyFile::open(*file, ReadOnlyFile::Links::follow);
    if (!opened) {
        sendNotFound(path);
        return;
    }
    const auto contentType = contentTypeForFile(*file);
    // A small file goes out in one write; a larger one (or one that grew past the mark since it
    // was opened) is sent from the file, as much as it held when opened.
    const auto size = static_cast<std::size_t>(opened->size());
    const auto contents =
        size <= readWholeFileBytes ? readAll(*opened, readWholeFileBytes) : std::nullopt;
    if (!contents) {
        static_cast<void>(sink_.writeAnswer(headerSetB(contentType, size, sandbox), *opened));
        return;
    }
    static_cast<void>(
        sink_.writeAnswer(headerSetB(contentType, contents->size(), sandbox), *contents));
}

void ResponseWriter::sendNotFound(std::string_view path) {
    std::string body = "Not Found: ";
    body.append(path);
    sendResponse("404 Not Found", "text/plain; charset=utf-8", body);
}

} // namespace zevra
