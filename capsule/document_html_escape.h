#pragma once

#include <string>
#include <string_view>

#include "base/html_escape.h"

#include <nlohmann/json.hpp>

namespace zevra {

// A JSON value in its textual form (absent: the empty text; a string: itself; anything else:
// its compact JSON text), escaped as by htmlEscaped.
[[nodiscard]] std::string documentHTMLEscape(const nlohmann::json* value);

} // namespace zevra
