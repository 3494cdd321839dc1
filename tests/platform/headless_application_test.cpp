#include "platform/headless/headless_application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zevra {
namespace {

using std::chrono::milliseconds;

// The program runs on this backend without a display: its timers must really fire, in order.
TEST(HeadlessApplication, TimersFireOnTheLoopUntilCancelled) {
    HeadlessApplication application;
    std::vector<std::string> fired;
    std::unique_ptr<MainThreadTimer> repeating;
    std::unique_ptr<MainThreadTimer> once;
    application.run([&] {
        application.scheduleTimer(milliseconds(1), false, [&] { fired.push_back("x"); }).reset();
        once = application.scheduleTimer(milliseconds(1), false, [&] { fired.push_back("once"); });
        repeating = application.scheduleTimer(milliseconds(2), true, [&] {
            fired.push_back("tick");
            if (fired.size() == 4) {
                repeating.reset();
                application.postToMain([&] { application.quit(); });
            }
        });
    });
    EXPECT_EQ(fired, (std::vector<std::string>{"once", "tick", "tick", "tick"}));
}

TEST(HeadlessApplication, AlertsTakeTheQueuedAnswersThenTheDefaultButton) {
    HeadlessApplication application;
    application.queueAlertAnswer(1);
    const AlertDescription alert{AlertStyle::Informational, "Saved", "a.png", {"OK", "Show"}};
    EXPECT_EQ(application.runModalAlert(alert), 1u);
    EXPECT_EQ(application.runModalAlert(alert), 0u);
    ASSERT_EQ(application.alerts().size(), 2u);
    EXPECT_EQ(application.alerts()[0].informativeText, "a.png");
}

} // namespace
} // namespace zevra
