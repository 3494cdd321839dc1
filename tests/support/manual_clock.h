#pragma once

#include "platform/clock.h"

#include <atomic>
#include <chrono>

namespace zevra::testing {

// A clock the test moves by hand; starts at a fixed, realistic date.
class ManualClock final : public Clock {
public:
    [[nodiscard]] TimePoint now() const override {
        return TimePoint{TimePoint::duration{ticks_.load()}};
    }
    void advance(std::chrono::system_clock::duration by) { ticks_ += by.count(); }

private:
    std::atomic<TimePoint::rep> ticks_{
        TimePoint{std::chrono::seconds{1796000000}}.time_since_epoch().count()};
};

} // namespace zevra::testing
