#include <gtest/gtest.h>

#include <csignal>

#include "platform/MainLoop.h"

TEST(MainLoopSignals, TerminationSignalRunsTheActionOnTheMainLoop) {
    MainLoop& loop = MainLoop::instance();
    int calls = 0;
    loop.onTerminationSignal([&calls] { ++calls; });
    // The signal is turned into an event of the loop, not handled in place.
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(loop.runUntil([&calls] { return calls == 1; }, 2000));
    ASSERT_EQ(raise(SIGHUP), 0);
    EXPECT_TRUE(loop.runUntil([&calls] { return calls == 2; }, 2000));
    loop.onTerminationSignal([] {});
}
