#pragma once

#include "server/byte_sink.h"

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The header lines every answer but a static file carries, up to and with the empty line.
[[nodiscard]] std::string headerSetA(std::string_view status, std::string_view contentType,
                                     std::size_t contentLength);

// Writes a connection's one answer to a byte sink. Write failures are ignored; the caller
// closes the connection.
class ResponseWriter {
public:
    explicit ResponseWriter(ByteSink& sink) : sink_(sink) {}

    // A complete response with header set A.
    void sendResponse(std::string_view status, std::string_view contentType, std::string_view body);
    // `object` serialised compactly as application/json; 500 when it cannot be serialised.
    void sendJSON(const nlohmann::json& object, std::string_view status = "200 OK");
    // Files the user saved from anywhere are shown in a sandbox: scripts in them never run with
    // the shell's origin.
    enum class Sandbox { none, untrustedContent };
    // The file's bytes with the static file header set, or 404 naming `path` when the file is
    // absent, missing or not a readable regular file.
    void sendStaticFile(const std::optional<std::filesystem::path>& file, std::string_view path,
                        Sandbox sandbox = Sandbox::none);

private:
    void sendNotFound(std::string_view path);

    ByteSink& sink_;
};

} // namespace zevra
