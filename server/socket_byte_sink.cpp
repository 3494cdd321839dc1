#include "server/socket_byte_sink.h"

#include "server/transfer_limits.h"

#include <poll.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <utility>

namespace zevra {
namespace {

// Bodies up to this size go out in one write with their head.
constexpr std::size_t singleWriteBodyBytes = std::size_t{64} * 1024;

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// sendfile has no MSG_NOSIGNAL: while one of these lives, a vanished peer cannot raise SIGPIPE
// on this thread; one raised meanwhile is taken back before the old mask returns.
class SigpipeBlocked {
public:
    SigpipeBlocked() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeBlocked() {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            static_cast<void>(sigtimedwait(&pipe_, nullptr, &now));
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked&) = delete;
    SigpipeBlocked& operator=(const SigpipeBlocked&) = delete;

private:
    sigset_t pipe_{};
    sigset_t previous_{};
    bool wasPending_ = false;
};

} // namespace

SocketByteSink::SocketByteSink(int fd, const Clock& clock, std::function<void()> beforeLastByte)
    : fd_(fd), timer_(clock, writeStallLimit), beforeLastByte_(std::move(beforeLastByte)) {}

bool SocketByteSink::writeAnswer(std::string_view head, std::string_view body) {
    timer_.start(answerWriteTimeLimit(head.size() + body.size()));
    if (body.size() > singleWriteBodyBytes) {
        return sendBytes(head, MSG_MORE) && sendEnding(body);
    }
    std::string whole;
    whole.reserve(head.size() + body.size());
    whole.append(head).append(body);
    return sendEnding(whole);
}

bool SocketByteSink::writeAnswer(std::string_view head, const ReadOnlyFile& body) {
    timer_.start(answerWriteTimeLimit(head.size() + static_cast<std::size_t>(body.size())));
    if (body.size() == 0) {
        return sendEnding(head);
    }
    const SigpipeBlocked noSigpipe;
    const auto end = static_cast<off_t>(static_cast<std::size_t>(body.size()));
    if (!sendBytes(head, MSG_MORE) || !sendFileRange(body, 0, end - 1)) {
        return false;
    }
    lastByteNext();
    return sendFileRange(body, end - 1, end);
}

bool SocketByteSink::writeUntilDone(std::size_t bytes,
                                    const std::function<ssize_t(std::size_t done)>& writeSome) {
    std::size_t done = 0;
    while (done < bytes) {
        const auto now = timer_.now();
        if (timer_.expired(now)) {
            return false;
        }
        const ssize_t n = writeSome(done);
        if (n > 0) {
            timer_.progressed(now);
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && wouldBlock(errno) && timer_.waitReady(fd_, POLLOUT, now)) {
            continue;
        }
        // A write error, a file that ended early, or a limit passed.
        return false;
    }
    return true;
}

bool SocketByteSink::sendBytes(std::string_view data, int flags) {
    return writeUntilDone(data.size(), [&](std::size_t done) {
        return ::send(fd_, data.data() + done, data.size() - done,
                      flags | MSG_NOSIGNAL | MSG_DONTWAIT);
    });
}

bool SocketByteSink::sendEnding(std::string_view data) {
    if (data.empty()) {
        lastByteNext();
        return true;
    }
    // MSG_MORE holds the rest back until the last byte joins it, so they go out together.
    if (!sendBytes(data.substr(0, data.size() - 1), MSG_MORE)) {
        return false;
    }
    lastByteNext();
    return sendBytes(data.substr(data.size() - 1), 0);
}

bool SocketByteSink::sendFileRange(const ReadOnlyFile& file, off_t from, off_t to) {
    const auto bytes = static_cast<std::size_t>(to - from);
    return writeUntilDone(bytes, [&](std::size_t done) {
        off_t offset = from + static_cast<off_t>(done);
        return ::sendfile(fd_, file.descriptor(), &offset, bytes - done);
    });
}

void SocketByteSink::lastByteNext() {
    if (beforeLastByte_) {
        std::exchange(beforeLastByte_, nullptr)();
    }
}

} // namespace zevra
