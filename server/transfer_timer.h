#pragma once

#include "platform/clock.h"

#include <chrono>

namespace zevra {

// Keeps one direction of a connection within its time limits: an overall deadline, and a
// longest stretch without progress. Time comes from the injected clock; a wait on the socket
// also ends after a whole stall limit of real time without an event, whatever the clock says.
class TransferTimer {
public:
    TransferTimer(const Clock& clock, std::chrono::seconds stallLimit)
        : clock_(clock), stallLimit_(stallLimit) {}

    // Starts over: the deadline is `allowed` from now, and progress was last made now.
    void start(std::chrono::milliseconds allowed);
    [[nodiscard]] TimePoint now() const { return clock_.now(); }
    // Whether a limit has passed at `now`; exactly at a limit is still in time.
    [[nodiscard]] bool expired(TimePoint now) const { return now > limit(); }
    void progressed(TimePoint now) { lastProgress_ = now; }
    // Waits for `events` on `fd` at most until the nearer limit; false when the socket stayed
    // silent for a whole stall limit or cannot be waited on. The caller checks the clock again.
    [[nodiscard]] bool waitReady(int fd, short events, TimePoint now) const;

private:
    [[nodiscard]] TimePoint limit() const;

    const Clock& clock_;
    std::chrono::seconds stallLimit_;
    TimePoint deadline_{};
    TimePoint lastProgress_{};
};

} // namespace zevra
