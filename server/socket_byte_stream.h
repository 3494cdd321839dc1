#pragma once

#include "platform/clock.h"
#include "server/byte_stream.h"
#include "server/transfer_timer.h"

namespace zevra {

// Reads a request from a connected socket within the request's time limits: the header block
// within its limit of the stream's making, a declared body within its own, and never a longer
// silence than the per-read limit. A read past a limit counts as a timeout; a signal does not
// count as an error.
class SocketByteStream final : public ByteStream {
public:
    SocketByteStream(int fd, const Clock& clock);
    [[nodiscard]] long readSome(std::span<char> into) override;
    void expectBody(std::size_t bytes) override;

private:
    int fd_;
    TransferTimer timer_;
};

} // namespace zevra
