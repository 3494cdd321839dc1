#pragma once

#include <string>
#include <string_view>

namespace zevra {

// Escapes "&", "<", ">", the double quote and the apostrophe, so the text is safe both as
// element content and inside either kind of quoted attribute; a NUL becomes U+FFFD.
[[nodiscard]] std::string htmlEscaped(std::string_view text);

// Appends the escaped text, for pages built in one pass.
void appendHTMLEscaped(std::string& out, std::string_view text);

} // namespace zevra
