#pragma once

#include "base/unique_fd.h"

#include <cstdint>
#include <functional>
#include <thread>

namespace zevra::testing {

// A listening socket on 127.0.0.1 (any free port) whose connections are handed to `serve`, one
// after another on a thread of its own, until it goes. `serve` closes nothing.
class LoopbackAcceptLoop {
public:
    explicit LoopbackAcceptLoop(std::function<void(int fd)> serve);
    ~LoopbackAcceptLoop();
    LoopbackAcceptLoop(const LoopbackAcceptLoop&) = delete;
    LoopbackAcceptLoop& operator=(const LoopbackAcceptLoop&) = delete;

    [[nodiscard]] std::uint16_t port() const { return port_; }

private:
    std::function<void(int fd)> serve_;
    UniqueFd listener_;
    UniqueFd stopWrite_;
    UniqueFd stopRead_;
    std::uint16_t port_ = 0;
    std::thread thread_;

    void run();
};

} // namespace zevra::testing
