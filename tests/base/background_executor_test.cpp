#include "base/background_executor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace zevra {
namespace {

TEST(BackgroundExecutorTest, ShutdownRunsQueuedWorkThenRefusesMore) {
    std::atomic<int> ran{0};
    BackgroundExecutor executor(2);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(executor.post([&ran] { ++ran; }));
    }
    executor.shutdown();
    EXPECT_EQ(ran.load(), 100);
    EXPECT_FALSE(executor.post([&ran] { ++ran; }));
    executor.shutdown();
    EXPECT_EQ(ran.load(), 100);
}

TEST(BackgroundExecutorTest, OneWorkerRunsInPostingOrder) {
    std::vector<int> order;
    {
        BackgroundExecutor executor(1);
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(executor.post([&order, i] { order.push_back(i); }));
        }
    }
    ASSERT_EQ(order.size(), 20U);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

} // namespace
} // namespace zevra
