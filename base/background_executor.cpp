#include "base/background_executor.h"

#include <system_error>
#include <utility>

namespace zevra {

BackgroundExecutor::BackgroundExecutor(std::size_t threadCount)
    : threadCount_(threadCount == 0 ? 1 : threadCount) {}

BackgroundExecutor::~BackgroundExecutor() {
    shutdown();
}

bool BackgroundExecutor::post(std::function<void()> work) {
    const std::lock_guard lock(lock_);
    if (closing_ || !startWorkersLocked()) {
        return false;
    }
    queue_.push_back(std::move(work));
    workReady_.notify_one();
    return true;
}

void BackgroundExecutor::shutdown() {
    std::vector<std::thread> workers;
    {
        const std::lock_guard lock(lock_);
        closing_ = true;
        workers.swap(workers_);
        workReady_.notify_all();
    }
    for (auto& worker : workers) {
        worker.join();
    }
}

// Workers start with the first piece of work, so a process that never posts has none.
bool BackgroundExecutor::startWorkersLocked() {
    try {
        while (workers_.size() < threadCount_) {
            workers_.emplace_back([this] { workLoop(); });
        }
    } catch (const std::system_error&) {
        // Fewer workers than asked for still run everything, only less at once.
    }
    return !workers_.empty();
}

void BackgroundExecutor::workLoop() {
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(lock_);
            workReady_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

} // namespace zevra
