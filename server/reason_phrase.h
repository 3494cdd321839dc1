#pragma once

#include <string>

namespace zevra {

// "404 Not Found": the code and its reason phrase, each word capitalised, for a status line.
[[nodiscard]] std::string statusLine(int code);

} // namespace zevra
