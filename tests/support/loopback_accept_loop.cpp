#include "support/loopback_accept_loop.h"

#include "support/loopback_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace zevra::testing {

LoopbackAcceptLoop::LoopbackAcceptLoop(std::function<void(int fd)> serve)
    : serve_(std::move(serve)) {
    listener_ = listenOnLoopback(0);
    port_ = boundPort(listener_.get());
    EXPECT_NE(port_, 0);
    int pipeEnds[2] = {-1, -1};
    EXPECT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    stopRead_ = UniqueFd(pipeEnds[0]);
    stopWrite_ = UniqueFd(pipeEnds[1]);
    thread_ = std::thread([this] { run(); });
}

LoopbackAcceptLoop::~LoopbackAcceptLoop() {
    stopWrite_ = UniqueFd();
    thread_.join();
}

void LoopbackAcceptLoop::run() {
    for (;;) {
        pollfd waiting[2] = {{listener_.get(), POLLIN, 0}, {stopRead_.get(), POLLIN, 0}};
        if (::poll(waiting, 2, -1) < 0 || waiting[1].revents != 0) {
            return;
        }
        const UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.valid()) {
            serve_(connection.get());
        }
    }
}

} // namespace zevra::testing
