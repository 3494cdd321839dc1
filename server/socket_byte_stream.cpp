#include "server/byte_stream.h"

#include <sys/socket.h>

#include <cerrno>

namespace zevra {

long SocketByteStream::readSome(std::span<char> into) {
    for (;;) {
        const auto n = ::recv(fd_, into.data(), into.size(), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return static_cast<long>(n);
    }
}

} // namespace zevra
