#include "server/http_response.h"

#include "server/content_type.h"
#include "server/regular_file.h"

#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <string>

namespace zevra {
namespace {

// Bodies up to this size go out in one write with their header.
constexpr std::size_t singleWriteBodyBytes = 64 * 1024;

// Sockets get MSG_NOSIGNAL so a vanished peer is a failed write, not a dead process.
ssize_t writeSome(int fd, std::string_view data) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) {
        return ::write(fd, data.data(), data.size());
    }
    return n;
}

// The header first and, only when it went out, the body.
void writeHeaderThenBody(int fd, std::string header, std::string_view body) {
    if (body.size() <= singleWriteBodyBytes) {
        header.append(body);
        static_cast<void>(writeAll(fd, header));
        return;
    }
    if (writeAll(fd, header)) {
        static_cast<void>(writeAll(fd, body));
    }
}

void sendNotFound(int fd, std::string_view path) {
    std::string body = "Not Found: ";
    body.append(path);
    sendResponse(fd, "404 Not Found", "text/plain; charset=utf-8", body);
}

} // namespace

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = writeSome(fd, data);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
    return true;
}

void sendResponse(int fd, std::string_view status, std::string_view contentType,
                  std::string_view body) {
    std::string header;
    header.reserve(192 + status.size() + contentType.size());
    header.append("HTTP/1.1 ").append(status).append("\r\n");
    header.append("Content-Type: ").append(contentType).append("\r\n");
    header.append("Cache-Control: no-store\r\n");
    header.append("X-Content-Type-Options: nosniff\r\n");
    header.append("Referrer-Policy: no-referrer\r\n");
    header.append("Connection: close\r\n");
    header.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    header.append("\r\n");
    writeHeaderThenBody(fd, std::move(header), body);
}

void sendJSON(int fd, const nlohmann::json& object, std::string_view status) {
    std::string data;
    try {
        data = object.dump();
    } catch (const nlohmann::json::exception&) {
        sendResponse(fd, "500 Internal Server Error", "application/json",
                     R"({"ok":false,"detail":"json encode error"})");
        return;
    }
    sendResponse(fd, status, "application/json", data);
}

void sendStaticFile(int fd, const std::optional<std::filesystem::path>& file,
                    std::string_view path) {
    if (!file || file->empty()) {
        sendNotFound(fd, path);
        return;
    }
    const auto opened = openRegularFile(*file);
    if (!opened) {
        sendNotFound(fd, path);
        return;
    }
    // Small files are read whole and go out with their header in one write; large ones are
    // copied by the kernel after the header, without passing through our memory.
    std::optional<std::string> contents;
    if (opened->size <= singleWriteBodyBytes) {
        contents = readToEnd(*opened);
        if (!contents) {
            sendNotFound(fd, path);
            return;
        }
    }
    const std::size_t length = contents ? contents->size() : opened->size;
    std::string header;
    header.reserve(192);
    header.append("HTTP/1.1 200 OK\r\n");
    header.append("Content-Type: ").append(contentTypeForFile(*file)).append("\r\n");
    header.append("Cache-Control: no-store, must-revalidate\r\n");
    header.append("Pragma: no-cache\r\n");
    header.append("X-Content-Type-Options: nosniff\r\n");
    header.append("Content-Length: ").append(std::to_string(length)).append("\r\n");
    header.append("Connection: close\r\n");
    header.append("\r\n");
    if (contents) {
        writeHeaderThenBody(fd, std::move(header), *contents);
        return;
    }
    if (writeAll(fd, header)) {
        static_cast<void>(sendFileBytes(fd, *opened));
    }
}

} // namespace zevra
