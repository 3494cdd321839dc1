#pragma once

#include <nlohmann/json_fwd.hpp>

#include <filesystem>
#include <optional>
#include <string_view>

namespace zevra {

// Writes every byte, retrying after signals. Never raises SIGPIPE.
[[nodiscard]] bool writeAll(int fd, std::string_view data);

// A complete response with the header set every answer but a static file uses. Write failures
// are ignored; the caller closes the connection.
void sendResponse(int fd, std::string_view status, std::string_view contentType,
                  std::string_view body);

// `object` serialised compactly as application/json; 500 when it cannot be serialised.
void sendJSON(int fd, const nlohmann::json& object, std::string_view status = "200 OK");

// The file's bytes with the static file header set, or 404 naming `path` when the file is
// absent, missing or not a readable regular file.
void sendStaticFile(int fd, const std::optional<std::filesystem::path>& file,
                    std::string_view path);

} // namespace zevra
