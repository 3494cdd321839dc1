#pragma once

#include <string>

namespace zevra {

// One request as the route handlers see it.
struct HttpRequest {
    std::string method;  // upper-cased
    std::string rawPath; // the request target exactly as sent, query included
    std::string headers; // the header block as one text, request line first
    std::string body;    // bytes after the empty line, as they arrived
};

} // namespace zevra
