#pragma once

#include "base/background_executor.h"

#include <gtest/gtest.h>

#include <future>

namespace zevra::testing {

// Waits until everything posted before it has run, on an executor with one worker.
inline void drain(BackgroundExecutor& executor) {
    std::promise<void> done;
    ASSERT_TRUE(executor.post([&done] { done.set_value(); }));
    done.get_future().wait();
}

} // namespace zevra::testing
