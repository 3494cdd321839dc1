#include "base/html_escape.h"

namespace zevra {

void appendHTMLEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\0':
            // A NUL would end the page early for any reader that stops at it.
            out += "\xEF\xBF\xBD"; // U+FFFD
            break;
        default:
            out.push_back(c);
            break;
        }
    }
}

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendHTMLEscaped(out, text);
    return out;
}

} // namespace zevra
