#pragma once

#include <cstddef>
#include <string_view>

namespace zevra {

// Writes every byte, retrying after signals; false when a write fails or writes nothing. On a
// socket it never raises SIGPIPE.
[[nodiscard]] bool writeAll(int fd, std::string_view bytes);

// Reads exactly `count` bytes, retrying after signals; false on an error or an early end.
[[nodiscard]] bool readExactly(int fd, char* into, std::size_t count);

} // namespace zevra
