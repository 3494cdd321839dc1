#include "server/transfer_timer.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace zevra {

void TransferTimer::start(std::chrono::milliseconds allowed) {
    lastProgress_ = clock_.now();
    deadline_ = lastProgress_ + allowed;
}

TimePoint TransferTimer::limit() const {
    return std::min(deadline_, lastProgress_ + stallLimit_);
}

bool TransferTimer::waitReady(int fd, short events, TimePoint now) const {
    const auto wait = std::min<TimePoint::duration>(limit() - now, stallLimit_);
    pollfd ready{fd, events, 0};
    // At least a millisecond, so a clock standing exactly at a limit is not polled in a spin.
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    const int polled = ::poll(&ready, 1, static_cast<int>(std::max<long long>(milliseconds, 1)));
    if (polled < 0) {
        return errno == EINTR;
    }
    return polled > 0 || wait < stallLimit_;
}

} // namespace zevra
