#include "menu/PlimMenuWrapper.h"

#include <gtest/gtest.h>

#include <thread>

#include "FakeMenuTarget.h"
#include "util/teskThread.h"

namespace {

class PlimMenuWrapperTest : public ::testing::Test {
protected:
    void SetUp() override { MainLoop::instance(); }  // this thread is the main thread
    void TearDown() override { deletePlimMenuWrapperSingleton(); }

    FakeMenuTarget menu;
    MainThreadChannel channel;
};

}  // namespace

TEST_F(PlimMenuWrapperTest, WorkerCallsRunOnTheMainThreadInOrderWithConvertedTexts) {
    PlimMenuWrapper wrapper(channel.poster(), &menu);
    std::thread worker([&] {
        wrapper.changeIconSet(2);
        wrapper.addItemAtIndex(0);
        PlimMenuItem item;
        item.set(PlimMenuItem::ItemKey, "fav-0");
        item.set(PlimMenuItem::TypeKey, PlimMenuItem::Favorite);
        item.set(PlimMenuItem::TemperatureKey, "72\xA1");
        wrapper.setMenuItem(0, item);
        wrapper.setMainText("72\xA1", 12);
        wrapper.setMainImage("status", "kv2-x.png");
        wrapper.setMainWeatherImage(30, 1, 720, 360, 1080, 0.5f);
        wrapper.removeItemAtIndex(0);
    });
    worker.join();
    EXPECT_TRUE(menu.log.empty());  // nothing ran on the worker
    ASSERT_TRUE(drainMainThreadPosts());
    EXPECT_EQ(menu.takeLog(), (std::vector<std::string>{"iconset 2", "add 0", "set 0", "text [72\u00B0] 12",
                                                          "image status/kv2-x.png",
                                                          "weather 30 1 720 360 1080 0.500000", "remove 0"}));
    EXPECT_TRUE(menu.faults.empty());
    EXPECT_EQ(menu.offMainThread, 0);
}

TEST_F(PlimMenuWrapperTest, RecordArrivesAsADictionaryOfStrings) {
    PlimMenuWrapper wrapper(channel.poster(), &menu);
    menu.addItemAtIndex(0);
    PlimMenuItem item;
    item.set(PlimMenuItem::ItemKey, "forecast-1");
    item.set(PlimMenuItem::TypeKey, PlimMenuItem::Forecast);
    item.set(PlimMenuItem::ForecastHiLoKey, "75\xA1..50\xA1");
    wrapper.setMenuItem(0, item);  // on the main thread: runs at once
    ASSERT_EQ(menu.lines.size(), 1u);
    const plist::Dict& dict = menu.lines[0].dict;
    ASSERT_EQ(dict.size(), 3u);
    EXPECT_TRUE(dict.at("type").isString());
    EXPECT_EQ(dict.at("type").asString(), "1");
    EXPECT_EQ(dict.at("fcHiLo").asString(), "75\u00B0..50\u00B0");

    // The record's later changes do not reach the dictionary already sent,
    // and an empty record arrives as an empty dictionary.
    item.set(PlimMenuItem::ItemKey, "changed");
    EXPECT_EQ(menu.lines[0].get("item"), "forecast-1");
    wrapper.setMenuItem(0, PlimMenuItem());
    EXPECT_TRUE(menu.lines[0].dict.empty());
}

TEST_F(PlimMenuWrapperTest, CallsAfterTheChannelClosesAreDropped) {
    PlimMenuWrapper wrapper(channel.poster(), &menu);
    std::thread([&] { wrapper.addItemAtIndex(0); }).join();
    channel.close();  // the menu goes away with the call still queued
    std::thread([&] { wrapper.addItemAtIndex(1); }).join();
    ASSERT_TRUE(drainMainThreadPosts());
    EXPECT_TRUE(menu.log.empty());
}

TEST_F(PlimMenuWrapperTest, FirstFacadeIsTheSingletonUntilDeleted) {
    EXPECT_EQ(getPlimMenuWrapperSingleton(), nullptr);
    auto* first = new PlimMenuWrapper(channel.poster(), &menu);
    {
        PlimMenuWrapper second(channel.poster(), &menu);
        EXPECT_EQ(getPlimMenuWrapperSingleton(), first);
        second.addItemAtIndex(0);  // usable all the same
        EXPECT_EQ(menu.log, std::vector<std::string>{"add 0"});
    }
    EXPECT_EQ(getPlimMenuWrapperSingleton(), first);
    deletePlimMenuWrapperSingleton();
    EXPECT_EQ(getPlimMenuWrapperSingleton(), nullptr);
    deletePlimMenuWrapperSingleton();  // none left: nothing happens

    // A facade deleted directly does not leave a dangling singleton.
    auto* third = new PlimMenuWrapper(channel.poster(), &menu);
    EXPECT_EQ(getPlimMenuWrapperSingleton(), third);
    delete third;
    EXPECT_EQ(getPlimMenuWrapperSingleton(), nullptr);
}

TEST_F(PlimMenuWrapperTest, RefreshPoolBelongsToTheThreadThatOpenedIt) {
    PlimMenuWrapper wrapper(channel.poster(), &menu);
    wrapper.finishRefresh();  // none kept: nothing
    EXPECT_FALSE(wrapper.hasPool());

    AutoreleasePool* outer = AutoreleasePool::current();
    wrapper.beginRefresh();
    EXPECT_TRUE(wrapper.hasPool());
    AutoreleasePool* opened = AutoreleasePool::current();
    EXPECT_NE(opened, outer);
    wrapper.beginRefresh();  // nested: the first pool stays
    EXPECT_EQ(AutoreleasePool::current(), opened);

    std::thread([&] { wrapper.finishRefresh(); }).join();  // another thread cannot drain it
    EXPECT_TRUE(wrapper.hasPool());

    bool released = false;
    AutoreleasePool::current()->defer([&] { released = true; });
    wrapper.finishRefresh();
    EXPECT_TRUE(released);
    EXPECT_FALSE(wrapper.hasPool());
    EXPECT_EQ(AutoreleasePool::current(), outer);
    wrapper.finishRefresh();  // twice: nothing
    EXPECT_EQ(AutoreleasePool::current(), outer);
}

TEST_F(PlimMenuWrapperTest, MainThreadCallRunsAfterTheWorkerCallsQueuedBeforeIt) {
    PlimMenuWrapper wrapper(channel.poster(), &menu);
    std::thread([&] {
        wrapper.addItemAtIndex(0);
        wrapper.addItemAtIndex(1);
    }).join();
    wrapper.removeItemAtIndex(0);  // on the main thread: the queued adds run first
    EXPECT_EQ(menu.log, (std::vector<std::string>{"add 0", "add 1", "remove 0"}));
    EXPECT_EQ(menu.lines.size(), 1u);
    EXPECT_TRUE(menu.faults.empty());
}
