#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zevra {

// Escapes "&", "<", ">", the double quote and the apostrophe, so the text is safe both as
// element content and inside either kind of quoted attribute; a NUL becomes U+FFFD.
[[nodiscard]] std::string documentHTMLEscape(std::string_view text);

// A JSON value in its textual form (absent: the empty text; a string: itself; anything else:
// its compact JSON text), escaped.
[[nodiscard]] std::string documentHTMLEscape(const nlohmann::json* value);

// Appends the escaped text, for pages built in one pass.
void appendDocumentHTMLEscaped(std::string& out, std::string_view text);

} // namespace zevra
