// The menu program behind a captive portal: every request, whatever its host
// and path, is answered with a hotel's "accept the terms" page and status
// 200. The page is no weather, so the update fails, the menu and tool tip say
// so, and none of the page's text is ever shown as a weather value.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "model/LocationManager.h"

namespace {

using PortalPageTest = CoreFixture;

bool idle(ComTeskPlim& core) { return core.menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled(); }

// Every text of the menu (titles and the labels drawn beside them), the
// status item's title and its tool tip.
std::vector<std::string> shownTexts(ComTeskPlim& core) {
    std::vector<std::string> out = {core.statusItem()->title(), core.statusItem()->toolTip()};
    for (const MenuItemRef& item : core.menu()->items()) {
        out.push_back(item->title());
        out.push_back(item->imageText());
    }
    return out;
}

// Words of tests/fixtures/notweather/portal.html that a scorer without floors
// picks as values.
bool showsPortalText(ComTeskPlim& core) {
    for (const std::string& text : shownTexts(core))
        for (const char* word : {"accept", "terms", "Lakeside", "Guest", "Wi-Fi", "Room", "front desk", "Mbps"})
            if (text.find(word) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST_F(PortalPageTest, APortalPageFailsTheUpdateAndTheLastGoodWeatherStays) {
    plist::Dict prefs = earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)});
    for (const char* line : {"humidity", "wind", "barometer", "feels_like", "dewpoint"}) prefs[line] = plist::Value(true);
    store(prefs);
    // The portal's route comes last, so it answers every request.
    const FixtureReply portal = FixtureReply::page(fixtureText("notweather/portal.html"));
    server.route("*", "*", portal);
    auto core = std::make_unique<ComTeskPlim>();
    auto updateNow = [&] {
        const size_t requests = server.requestCount();
        core->menu()->itemWithTag(ComTeskPlim::kUpdate)->userChoose();
        return waitFor([&] { return idle(*core) && server.requestCount() > requests; });
    };
    auto firstLine = [&] { return core->menu()->itemAtIndex(0)->title(); };

    // The first run behind the portal: no weather yet, only the failure.
    const std::string unread = "Problem reading weather site  (2)";
    ASSERT_TRUE(waitFor([&] { return idle(*core) && firstLine() == unread; })) << firstLine();
    EXPECT_EQ(core->statusItem()->toolTip(), "Des Moines, IA\n" + unread);
    EXPECT_FALSE(showsPortalText(*core));

    // Through to the weather site: Des Moines' weather.
    server.clearRoutes();
    server.route("www.crh.noaa.gov", kDesMoinesPath, FixtureReply::page(fixtureText("nws/forecast/point_des_moines.html")));
    server.routeFile("weather.noaa.gov", "/pub/data/observations/metar/decoded/KDSM.TXT", "observations/KDSM.TXT");
    ASSERT_TRUE(updateNow());
    ASSERT_TRUE(waitFor([&] { return firstLine().ends_with(": Des Moines, IA"); })) << firstLine();
    const std::vector<std::string> good = titles(core->menu());
    const std::string goodTip = core->statusItem()->toolTip();
    const std::string goodTitle = core->statusItem()->title();
    ASSERT_FALSE(goodTitle.empty());

    // Behind the portal again: the failure line on top of the same weather.
    server.route("*", "*", portal);
    ASSERT_TRUE(updateNow());
    const std::string failed = "Warning: Last update failed  (3)";
    ASSERT_TRUE(waitFor([&] { return firstLine() == failed; })) << firstLine();
    std::vector<std::string> expected = good;
    expected.insert(expected.begin(), failed);
    EXPECT_EQ(titles(core->menu()), expected);
    EXPECT_EQ(core->statusItem()->title(), goodTitle);
    const std::string tip = core->statusItem()->toolTip();
    EXPECT_EQ(tip.rfind("Des Moines, IA\n" + failed + "\n", 0), 0u) << tip;
    EXPECT_FALSE(showsPortalText(*core));
    core->deactivate();
}
