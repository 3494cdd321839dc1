#include "base/background_executor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace zevra {
namespace {

// Shutting down (or going away) runs the queued work first; one worker keeps the posting order.
TEST(BackgroundExecutorTest, QueuedWorkRunsBeforeShutdownThenMoreIsRefused) {
    std::atomic<int> ran{0};
    BackgroundExecutor executor(2);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(executor.post([&ran] { ++ran; }));
    }
    executor.shutdown();
    EXPECT_FALSE(executor.post([&ran] { ++ran; }));
    executor.shutdown();
    EXPECT_EQ(ran.load(), 100);
    std::vector<int> order;
    {
        BackgroundExecutor one(1);
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(one.post([&order, i] { order.push_back(i); }));
        }
    }
    EXPECT_EQ(order.size(), 20U);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

} // namespace
} // namespace zevra
