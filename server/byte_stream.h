#pragma once

#include <cstddef>
#include <span>

namespace zevra {

// Where a request's bytes come from: a socket in the server, a buffer in the fuzzer and tests.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Reads at most `into.size()` bytes; 0 at end of stream, negative on error or timeout.
    [[nodiscard]] virtual long readSome(std::span<char> into) = 0;
    // Told once the header block has ended with the body length it declares; a stream that
    // keeps time allows the body its own time from here. Memory has no time to keep.
    virtual void expectBody(std::size_t bytes) { static_cast<void>(bytes); }
};

} // namespace zevra
