#pragma once

#include "base/background_executor.h"
#include "platform/clock.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace zevra {

// A value rebuilt in the background when it is older than its age limit. Readers get the value
// as it is at once, never waiting for a rebuild; at most one rebuild runs at a time.
template <typename Value> class RefreshingCache {
public:
    RefreshingCache(const Clock& clock, BackgroundExecutor& executor,
                    std::chrono::milliseconds maxAge, std::function<Value()> build, Value initial)
        : state_(std::make_shared<State>(clock, executor, maxAge, std::move(build),
                                         std::make_shared<const Value>(std::move(initial)))) {}

    // The value last built; starts a rebuild when it is stale and none is running.
    [[nodiscard]] std::shared_ptr<const Value> current() {
        std::shared_ptr<const Value> value;
        {
            const std::lock_guard guard(state_->lock);
            value = state_->value;
            const auto now = state_->clock.now();
            if (state_->refreshInFlight ||
                (state_->stamp && now - *state_->stamp <= state_->maxAge)) {
                return value;
            }
            state_->refreshInFlight = true;
        }
        // The rebuild holds the state only while it runs, so the owner may go away meanwhile.
        const std::weak_ptr<State> weak = state_;
        const bool posted = state_->executor.post([weak] {
            const auto state = weak.lock();
            if (!state) {
                return;
            }
            auto rebuilt = std::make_shared<const Value>(state->build());
            const std::lock_guard guard(state->lock);
            state->value = std::move(rebuilt);
            state->stamp = state->clock.now();
            state->refreshInFlight = false;
        });
        if (!posted) {
            const std::lock_guard guard(state_->lock);
            state_->refreshInFlight = false;
        }
        return value;
    }

private:
    struct State {
        State(const Clock& clock, BackgroundExecutor& executor, std::chrono::milliseconds maxAge,
              std::function<Value()> build, std::shared_ptr<const Value> value)
            : clock(clock), executor(executor), maxAge(maxAge), build(std::move(build)),
              value(std::move(value)) {}
        const Clock& clock;
        BackgroundExecutor& executor;
        const std::chrono::milliseconds maxAge;
        const std::function<Value()> build;
        std::mutex lock; // guards the fields below
        std::shared_ptr<const Value> value;
        std::optional<TimePoint> stamp; // last completed build; none before the first
        bool refreshInFlight = false;
    };
    std::shared_ptr<State> state_;
};

} // namespace zevra
