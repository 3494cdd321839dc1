#include "base/background_executor.h"

#include <gtest/gtest.h>

#include <atomic>
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
    EXPECT_FALSE(executor.post([&ran] { ++ran; }));
    executor.shutdown();
    EXPECT_EQ(ran.load(), 100);
}

TEST(BackgroundExecutorTest, OneWorkerRunsInPostingOrderUntilDestroyed) {
    std::vector<int> order;
    std::vector<int> expected;
    {
        BackgroundExecutor executor(1);
        for (int i = 0; i < 20; ++i) {
            expected.push_back(i);
            ASSERT_TRUE(executor.post([&order, i] { order.push_back(i); }));
        }
    }
    EXPECT_EQ(order, expected);
}

} // namespace
} // namespace zevra
