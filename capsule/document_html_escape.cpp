#include "capsule/document_html_escape.h"

#include "base/json_members.h"
#include "capsule/canonical_json.h"

namespace zevra {

void appendDocumentHTMLEscaped(std::string& out, std::string_view text) {
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

std::string documentHTMLEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendDocumentHTMLEscaped(out, text);
    return out;
}

std::string documentHTMLEscape(const nlohmann::json* value) {
    return documentHTMLEscape(textualForm(value));
}

} // namespace zevra
