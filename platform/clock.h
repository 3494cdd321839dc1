#pragma once

#include <chrono>

namespace zevra {

using TimePoint = std::chrono::system_clock::time_point;

// Every deadline and cache age reads the time through a Clock so tests can move it by hand.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual TimePoint now() const = 0;
};

class SystemClock final : public Clock {
public:
    [[nodiscard]] TimePoint now() const override { return std::chrono::system_clock::now(); }
};

// The one process-wide real clock.
const Clock& systemClock();

} // namespace zevra
