#include "app/Skyvane.h"

#include <gtest/gtest.h>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "app/SkyvaneAdv.h"
#include "model/LocationManager.h"
#include "scrapers/AggrScraper.h"

namespace {

using SkyvaneTest = CoreFixture;

bool idle(ComTeskPlim& core) { return core.menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled(); }

}  // namespace

TEST_F(SkyvaneTest, TheUpdateItemAndTheCommandsFollowARun) {
    // A frequency other than free mode's first 30 minutes, so the run's setting shows.
    plist::Dict prefs = earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)});
    prefs["update_frequency"] = plist::Value(45);
    store(prefs);
    struct ShortWake {
        ShortWake() { ComTeskPlim::setWakeDelayMs(50); }
        ~ShortWake() { ComTeskPlim::setWakeDelayMs(0); }
    } shortWake;
    ComTeskPlim core;
    Skyvane* kv = core.controller();
    ASSERT_TRUE(waitFor([&] { return idle(core) && server.requestCount() > 0; }));
    // Free mode: the National Weather Service alone, no advance flag.
    EXPECT_NE(kv->getScraper()->scraperFor("nws"), nullptr);
    EXPECT_EQ(kv->getScraper()->scraperFor("ug"), nullptr);
    EXPECT_FALSE(kv->getScraper()->advance());
    ASSERT_NE(kv->moonData(), nullptr);

    kv->setUpdateItemEnabled(false);
    EXPECT_EQ(core.menu()->itemWithTag(ComTeskPlim::kUpdate)->title(), "Updating…");
    EXPECT_FALSE(core.menu()->itemWithTag(ComTeskPlim::kPreferences)->isEnabled());
    for (const MenuItemRef& item : core.locationMenu()->items()) EXPECT_FALSE(item->isEnabled()) << item->title();
    kv->setUpdateItemEnabled(true);
    EXPECT_EQ(core.menu()->itemWithTag(ComTeskPlim::kUpdate)->title(), "Update Now");
    for (const MenuItemRef& item : core.locationMenu()->items()) EXPECT_TRUE(item->isEnabled()) << item->title();

    // The update command refreshes at once; a second timer is never made.
    RefreshTimer* timer = kv->refresher();
    const size_t requests = server.requestCount();
    core.menu()->itemWithTag(ComTeskPlim::kUpdate)->userChoose();
    ASSERT_TRUE(waitFor([&] { return server.requestCount() > requests && idle(core); }));
    kv->initTimer();
    core.systemDidWake();
    ASSERT_TRUE(waitFor([&] { return !core.wakePending(); }));
    EXPECT_EQ(kv->refresher(), timer);
    EXPECT_EQ(timer->updateFrequency(), 45 * 60);
}

TEST_F(SkyvaneTest, AdvancedModeRefreshesOnlyForTheKeysThatNeedIt) {
    store(earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)}));
    ComTeskPlim core;
    auto* kv = dynamic_cast<SkyvaneAdv*>(core.controller());
    ASSERT_NE(kv, nullptr);
    EXPECT_TRUE(kv->getScraper()->advance());
    for (const char* source : {"nws", "aol", "ug", "usa"})
        EXPECT_NE(kv->getScraper()->scraperFor(source), nullptr) << source;
    ASSERT_TRUE(waitFor([&] { return idle(core) && server.requestCount() > 0; }));

    // Waits a little for a scrape that should not come.
    auto requestsAfter = [&](const plist::Dict& prefs) {
        const size_t before = server.requestCount();
        kv->setPreferences(prefs);
        waitFor([] { return false; }, 300);
        return server.requestCount() - before;
    };
    plist::Dict prefs = core.prefs();
    prefs["font_size"] = plist::Value(1);
    EXPECT_EQ(requestsAfter(prefs), 0u);
    EXPECT_EQ(stored().at("font_size").asInt(), 1);
    // Units and frequency together: the frequency wins, no scrape.
    prefs["units"] = plist::Value(0);
    prefs["update_frequency"] = plist::Value(60);
    EXPECT_EQ(requestsAfter(prefs), 0u);
    EXPECT_EQ(stored().at("units").asInt(), 0);
    // Units alone: a full refresh at once.
    prefs["units"] = plist::Value(2);
    EXPECT_GT(requestsAfter(prefs), 0u);
    ASSERT_TRUE(waitFor([&] { return idle(core); }));
    EXPECT_EQ(kv->refresher()->updateFrequency(), 60 * 60);

    // A single key, even "locations", is kept in memory without a new list.
    std::shared_ptr<LocationManager> list = core.locMan();
    kv->setPreference("locations", plist::Value(plist::Array{}));
    EXPECT_EQ(core.locMan(), list);
    EXPECT_TRUE(core.prefs().at("locations").asArray().empty());
}

TEST_F(SkyvaneTest, ASourceWithAMissingFileIsLeftOut) {
    std::filesystem::remove(apps() / "Skyvane.app" / "Resources" / "config" / "a2.conf");
    store(earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)}));
    ComTeskPlim core;
    AggrScraper* scraper = core.controller()->getScraper();
    EXPECT_EQ(scraper->scraperFor("aol"), nullptr);
    for (const char* source : {"nws", "ug", "usa"}) EXPECT_NE(scraper->scraperFor(source), nullptr) << source;
    ASSERT_TRUE(waitFor([&] { return idle(core) && server.requestCount() > 0; }));
}
