#pragma once

#include <string>
#include <string_view>

namespace zevra {

// Appends text as a JSON string literal: quotes and backslashes escaped, control characters as
// \b \f \n \r \t or \u00xx, everything else (UTF-8 included) as it is.
void appendJSONString(std::string& out, std::string_view text);

} // namespace zevra
