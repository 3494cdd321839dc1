#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// Decodes every "%XX" escape; nothing when an escape is broken ("%", "%4", "%zz"). The result
// may hold any byte: callers check what their context forbids (NUL, invalid UTF-8).
[[nodiscard]] std::optional<std::string> percentDecoded(std::string_view text);

// Unreserved and reserved characters of RFC 3986 plus "%" for escapes: what a URL may hold as
// written.
[[nodiscard]] bool isURLCharacter(char c);

// Every character in the URL alphabet and every "%" followed by two hexadecimal digits.
[[nodiscard]] bool isWellFormedURLText(std::string_view text);

// Every byte outside the URL path alphabet (unreserved characters and "!$&'()*+,:;=@/")
// written as "%XX": a file name made safe for one path segment of a link.
[[nodiscard]] std::string percentEncodedForPath(std::string_view text);
// Every byte outside unreserved characters and "!$'()*,/:;?@" written as "%XX". Unlike a whole
// query, a single value must also escape "&", "=", "+" and "#", or it ends early or changes.
[[nodiscard]] std::string percentEncodedForQueryValue(std::string_view text);

} // namespace zevra
