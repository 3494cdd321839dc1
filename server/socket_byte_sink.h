#pragma once

#include "platform/clock.h"
#include "server/byte_sink.h"
#include "server/transfer_timer.h"

#include <sys/types.h>

#include <functional>

namespace zevra {

// Writes an answer to a connected socket within the answer's time limits: the whole answer
// within its limit of starting, and no write blocked longer than the per-write limit. A
// vanished peer is a failed write, never SIGPIPE.
class SocketByteSink final : public ByteSink {
public:
    // `beforeLastByte` runs once, just before the answer's last byte is handed to the kernel,
    // so the peer can never have read the whole answer before it ran.
    SocketByteSink(int fd, const Clock& clock, std::function<void()> beforeLastByte = {});

    [[nodiscard]] bool writeAnswer(std::string_view head, std::string_view body) override;
    [[nodiscard]] bool writeAnswer(std::string_view head, const ReadOnlyFile& body) override;

private:
    // Repeats `writeSome` (one write without waiting of what follows the first `done` bytes,
    // returning what write or sendfile does) until `bytes` went out, waiting for the socket in
    // between; false on an error, a short file or a limit passed.
    [[nodiscard]] bool writeUntilDone(std::size_t bytes,
                                      const std::function<ssize_t(std::size_t done)>& writeSome);
    [[nodiscard]] bool sendBytes(std::string_view data, int flags);
    // Everything but the last byte, then `beforeLastByte`, then the last byte.
    [[nodiscard]] bool sendEnding(std::string_view data);
    [[nodiscard]] bool sendFileRange(const ReadOnlyFile& file, off_t from, off_t to);
    void lastByteNext();

    int fd_;
    TransferTimer timer_;
    std::function<void()> beforeLastByte_;
};

} // namespace zevra
