#pragma once

#include <mutex>

namespace zevra {

// Which of the two update flows is running: each may run once at a time, both under one lock.
class UpdateFlowState {
public:
    enum class Flow { app, extension };

    // True when the flow was idle and is now marked running.
    [[nodiscard]] bool begin(Flow flow) {
        const std::scoped_lock hold(lock_);
        bool& running = flag(flow);
        if (running) {
            return false;
        }
        running = true;
        return true;
    }
    void release(Flow flow) {
        const std::scoped_lock hold(lock_);
        flag(flow) = false;
    }
    [[nodiscard]] bool running(Flow flow) {
        const std::scoped_lock hold(lock_);
        return flag(flow);
    }

private:
    std::mutex lock_;
    bool appUpdateInFlight_ = false;
    bool extensionUpdateInFlight_ = false;

    bool& flag(Flow flow) {
        return flow == Flow::app ? appUpdateInFlight_ : extensionUpdateInFlight_;
    }
};

} // namespace zevra
