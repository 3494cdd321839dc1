#include "server/reason_phrase.h"

#include <array>
#include <string_view>
#include <utility>

namespace zevra {
namespace {

constexpr std::array<std::pair<int, std::string_view>, 46> phrases{{
    {100, "Continue"},
    {101, "Switching Protocols"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Payload Too Large"},
    {414, "URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {422, "Unprocessable Entity"},
    {428, "Precondition Required"},
    {429, "Too Many Requests"},
    {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
    {511, "Network Authentication Required"},
}};

// Codes without a phrase of their own take their class's.
std::string_view classPhrase(int code) {
    switch (code / 100) {
    case 1:
        return "Informational";
    case 2:
        return "Success";
    case 3:
        return "Redirection";
    case 4:
        return "Client Error";
    default:
        return "Server Error";
    }
}

} // namespace

std::string statusLine(int code) {
    for (const auto& [known, phrase] : phrases) {
        if (known == code) {
            return std::to_string(code) + " " + std::string(phrase);
        }
    }
    return std::to_string(code) + " " + std::string(classPhrase(code));
}

} // namespace zevra
