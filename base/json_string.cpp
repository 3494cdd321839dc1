#include "base/json_string.h"

namespace zevra {

void appendJSONString(std::string& out, std::string_view text) {
    out.push_back('"');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\b':
            out += "\\b";
            continue;
        case '\f':
            out += "\\f";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (byte < 0x20) {
            constexpr std::string_view hexDigits = "0123456789abcdef";
            out += "\\u00";
            out.push_back(hexDigits[byte >> 4]);
            out.push_back(hexDigits[byte & 0x0f]);
            continue;
        }
        out.push_back(c);
    }
    out.push_back('"');
}

} // namespace zevra
