#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zevra {

// A few owned worker threads that run posted work in order of posting: the stand-in for the
// background queues. The owner joins them: `shutdown` (or the destructor) lets queued work
// finish, then waits for the workers. Nothing is ever detached.
class BackgroundExecutor {
public:
    explicit BackgroundExecutor(std::size_t threadCount = 2);
    ~BackgroundExecutor();
    BackgroundExecutor(const BackgroundExecutor&) = delete;
    BackgroundExecutor& operator=(const BackgroundExecutor&) = delete;

    // Queues work; false (and the work dropped) once shut down or when no worker can be started.
    [[nodiscard]] bool post(std::function<void()> work);
    // Runs what is queued, refuses new work and joins the workers. Safe to call twice; never
    // from posted work.
    void shutdown();

private:
    const std::size_t threadCount_;
    std::mutex lock_;
    std::condition_variable workReady_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> workers_;
    bool closing_ = false;

    void workLoop();
    [[nodiscard]] bool startWorkersLocked();
};

} // namespace zevra
