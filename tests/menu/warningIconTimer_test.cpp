#include <gtest/gtest.h>

#include <vector>

#include "menu/PlimMenuWrapper.h"
#include "menu/warningIconTimer.h"
#include "util/teskTimerThread.h"

namespace {

// Fires the timer's passes by hand on a timer thread that is never started,
// and answers the period after each of `runs` runs.
std::vector<int> periodsAfterRuns(warningIconTimer& timer, teskTimerThread& thread, int runs) {
    std::vector<int> periods;
    for (int i = 0; i < runs; ++i) {
        thread.fireDueTimers(timer.getWakeupTime());
        periods.push_back(timer.getSleepMs());
    }
    return periods;
}

}  // namespace

TEST(warningIconTimer, StepsALongPauseThenQuickStepsWithOneBreak) {
    teskTimerThread thread;
    PlimMenuWrapper wrapper(MainThreadPoster(), nullptr);
    warningIconTimer timer(&wrapper, &thread);
    EXPECT_EQ(timer.getName(), "warning");
    EXPECT_EQ(timer.getSleepMs(), 100);
    timer.start(2, "warning-tiny.png", "watch-tiny.png");
    ASSERT_TRUE(timer.isRunning());
    EXPECT_EQ(timer.getKind(), 2);
    EXPECT_EQ(timer.getImage1(), "warning-tiny.png");
    EXPECT_EQ(timer.getImage2(), "watch-tiny.png");

    std::vector<int> expected(21, 100);
    expected[0] = 5000;   // step 0: the long pause
    expected[9] = 100;
    expected[10] = 1000;  // step 10: the short break
    expected[20] = 5000;  // after 20 steps the cycle starts again
    EXPECT_EQ(periodsAfterRuns(timer, thread, 21), expected);
    EXPECT_EQ(timer.getStep(), 1);
}

TEST(warningIconTimer, WithoutAFacadeNothingSteps) {
    teskTimerThread thread;
    warningIconTimer timer(nullptr, &thread);
    timer.start(1, "a.png", "b.png");
    EXPECT_EQ(periodsAfterRuns(timer, thread, 3), (std::vector<int>{100, 100, 100}));
    EXPECT_EQ(timer.getStep(), 0);
}
