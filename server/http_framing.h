#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The value of the first header line (request line included) whose name is `name`, compared
// without regard to case; everything after the first colon, spaces and tabs trimmed.
[[nodiscard]] std::optional<std::string> parseHeader(std::string_view headers,
                                                     std::string_view name);

// The declared Content-Length: 0 when missing or not a whole decimal number, negative values
// as written. A number too large to represent saturates, so it still reads as too large.
[[nodiscard]] long long parseContentLength(std::string_view headers);

// Whether the Origin or the Referer names the local shell.
[[nodiscard]] bool requestIsFromLocalShell(std::string_view headers);

// Whether the Host header names the loopback server exactly ("127.0.0.1:18484" or
// "localhost:18484", letters in any case).
[[nodiscard]] bool hostIsLocalShell(std::string_view headers);

} // namespace zevra
