#include <gtest/gtest.h>

#include "FakeMenuTarget.h"
#include "menu/IconRefresher.h"
#include "menu/PlimMenuController.h"
#include "menu/PlimMenuWrapper.h"
#include "menu/menuIconTimer.h"
#include "support/CaptureStream.h"

namespace {

using Names = std::vector<std::string>;

struct AnimationProbe : menuIconTimer {
    using menuIconTimer::go;
    using menuIconTimer::menuIconTimer;
};

struct RefresherProbe : IconRefresher {
    using IconRefresher::go;
    using IconRefresher::IconRefresher;
};

// A recording menu behind the facade the timers draw through.
struct MenuTimers : ::testing::Test {
    MenuTimers() { new PlimMenuWrapper(channel.poster(), &menu); }
    ~MenuTimers() override { deletePlimMenuWrapperSingleton(); }

    MainLoop& loop = MainLoop::instance();
    FakeMenuTarget menu;
    MainThreadChannel channel;
};

}  // namespace

TEST_F(MenuTimers, ScrapingFramesGoUpAndDownAndOnlyTheScrapingTypeDraws) {
    teskTimerThread idle;  // never started: the test fires the timers itself
    AnimationProbe scraping("scraping", &idle);
    AnimationProbe other("flashing", &idle);
    scraping.start();
    other.start();
    for (int i = 0; i < 9; ++i) {
        scraping.go();  // on the main thread: the calls run at once
        other.go();
    }
    Names shown;
    for (const std::string& entry : menu.log) {
        if (entry.rfind("image ", 0) == 0) shown.push_back(entry.substr(6));
        else EXPECT_EQ(entry, "text [    ] 14");
    }
    EXPECT_EQ(shown, (Names{"status/kv2-1.png", "status/kv2-2.png", "status/kv2-3.png", "status/kv2-4.png",
                            "status/kv2-3.png", "status/kv2-2.png", "status/kv2-1.png", "status/kv2-1.png",
                            "status/kv2-2.png"}));
    EXPECT_EQ(scraping.getFrame(), 3);
    EXPECT_EQ(other.getFrame(), 1);
    scraping.stop();
    menu.takeLog();
    scraping.go();  // fired just before the stop: draws nothing
    EXPECT_EQ(menu.takeLog(), Names{});
    deletePlimMenuWrapperSingleton();

    AnimationProbe orphan("scraping", &idle);  // no facade: a note instead of a frame
    orphan.start();
    CaptureStdout out;
    orphan.go();
    EXPECT_EQ(out.text(), "menu not instantiated!\n");
    EXPECT_EQ(orphan.getFrame(), 2);
}

TEST_F(MenuTimers, IconRefresherStartCancelsAPendingFullRebuild) {
    PlimMenuController controller;
    RefresherProbe refresher(&controller, 1);
    refresher.fullRefresh();
    refresher.go();  // a full rebuild: it chooses the icon set
    EXPECT_EQ(menu.takeLog(), Names{"iconset 0"});
    refresher.go();  // the request was used up: icon only, nothing to draw yet
    EXPECT_EQ(menu.takeLog(), Names{});

    refresher.fullRefresh();
    refresher.start(1);
    EXPECT_EQ(refresher.getSleepMs(), 60000);
    refresher.go();
    EXPECT_EQ(menu.takeLog(), Names{});
}
