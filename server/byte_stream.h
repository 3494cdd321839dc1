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
};

// Reads from a connected socket; a signal does not count as an error.
class SocketByteStream final : public ByteStream {
public:
    explicit SocketByteStream(int fd) : fd_(fd) {}
    [[nodiscard]] long readSome(std::span<char> into) override;

private:
    int fd_;
};

} // namespace zevra
