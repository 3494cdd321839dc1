#pragma once

#include <optional>
#include <string>

namespace zevra {

// What a finished HTTP request reports, filled by the transport: the status code, the URL the
// request ended at (after any redirects) and the Content-Type value exactly as the server sent
// it, parameters included.
struct ReleaseResponse {
    long statusCode = 0;
    std::optional<std::string> url;
    std::optional<std::string> mimeType;
};

} // namespace zevra
