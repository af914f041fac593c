#include "platform/MainLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/CaptureStream.h"

TEST(MainLoop, AWorkersPostsRunOnTheMainThreadInOrder) {
    MainLoop& loop = MainLoop::instance();
    ASSERT_TRUE(loop.isMainThread());
    MainThreadChannel channel;
    MainThreadChannel other;
    std::vector<int> seen;
    bool allOnMain = true;
    auto record = [&](int n) {
        allOnMain = allOnMain && loop.isMainThread();
        seen.push_back(n);
    };
    // Two channels share one queue: their posts keep the worker's order.
    std::thread worker([&, a = channel.poster(), b = other.poster()] {
        EXPECT_FALSE(loop.isMainThread());
        for (int i = 0; i < 10000; ++i) (i % 2 ? a : b).post([&record, i] { record(i); });
    });
    worker.join();
    EXPECT_TRUE(seen.empty());  // nothing ran on the worker
    ASSERT_TRUE(loop.runUntil([&] { return seen.size() == 10000; }, 10000));
    EXPECT_TRUE(allOnMain);
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(seen[i], i);
}

TEST(MainLoop, AClosedChannelDropsQueuedAndLaterPosts) {
    MainLoop& loop = MainLoop::instance();
    auto channel = std::make_unique<MainThreadChannel>();
    MainThreadPoster poster = channel->poster();
    MainThreadChannel marker;
    int ran = 0;
    bool markerRan = false;
    std::thread([&] {
        for (int i = 0; i < 100; ++i) poster.post([&] { ++ran; });
    }).join();
    channel.reset();  // teardown while the calls wait
    EXPECT_FALSE(poster.isOpen());
    bool accepted = true;
    std::thread([&] {
        accepted = poster.post([&] { ++ran; });
        marker.poster().post([&] { markerRan = true; });
    }).join();
    EXPECT_FALSE(accepted);
    ASSERT_TRUE(loop.runUntil([&] { return markerRan; }, 5000));
    EXPECT_EQ(ran, 0);
    EXPECT_FALSE(MainThreadPoster().post([&] { ++ran; }));  // a handle with no channel
}

TEST(MainLoop, PostsOnTheMainThreadRunAtOnceAndFailuresAreContained) {
    MainThreadChannel channel;
    int ran = 0;
    EXPECT_TRUE(channel.post([&] { ++ran; }));
    EXPECT_EQ(ran, 1);

    CaptureStderr err;
    bool after = false;
    std::thread([&, p = channel.poster()] {
        p.post([] { throw std::runtime_error("boom"); });
        p.post([&] { after = true; });
    }).join();
    EXPECT_TRUE(MainLoop::instance().runUntil([&] { return after; }, 5000));
    EXPECT_NE(err.text().find("boom"), std::string::npos);
}

TEST(MainLoop, TimersRepeatUntilTheyStopAndCanBeRemoved) {
    MainLoop& loop = MainLoop::instance();
    int fired = 0;
    loop.addTimer(1, [&] { return ++fired < 3; });
    unsigned removed = loop.addTimer(1, [&] {
        ADD_FAILURE() << "a removed timer fired";
        return false;
    });
    loop.removeTimer(removed);
    EXPECT_TRUE(loop.runUntil([&] { return fired == 3; }, 5000));
    EXPECT_FALSE(loop.runUntil([&] { return fired > 3; }, 50));

    // run() returns once quit() is called from another thread.
    std::thread stopper;
    loop.addTimer(20, [&] {
        stopper = std::thread([&] { loop.quit(); });
        return false;
    });
    loop.run();
    stopper.join();
}
