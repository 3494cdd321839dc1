#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace zevra {

// Two lower-case hexadecimal digits a byte.
[[nodiscard]] std::string lowercaseHex(std::span<const std::byte> bytes);
[[nodiscard]] std::string lowercaseHex(std::span<const unsigned char> bytes);

// 0-15 for a hexadecimal digit of either case, -1 for anything else.
[[nodiscard]] int hexDigitValue(char c);

} // namespace zevra
