#include "app/ComTeskPlim.h"

#include <gtest/gtest.h>

#include "CoreFixture.h"
#include "app/Skyvane.h"
#include "app/SkyvaneProtocols.h"
#include "model/LocationManager.h"
#include "platform/StatusBar.h"
#include "support/CaptureStream.h"

namespace {

bool hasLine(const MenuRef& menu, const std::string& text) {
    for (const MenuItemRef& item : menu->items())
        if (item->title().find(text) != std::string::npos) return true;
    return false;
}

using ComTeskPlimTest = CoreFixture;

}  // namespace

TEST_F(ComTeskPlimTest, StandaloneStartShowsThePrimaryCityChecksForNewVersionsAndChoosesCities) {
    store(earlierPrefs("advance_mode", {city("Ames, IA", Location::kFavorite), city("Des Moines, IA", Location::kPrimary)}));
    auto core = std::make_unique<ComTeskPlim>();
    EXPECT_FALSE(core->isMenuExtra());
    ASSERT_TRUE(core->statusItem());
    EXPECT_EQ(core->statusItem()->menu(), core->menu());
    EXPECT_TRUE(core->statusItem()->highlightMode());
    EXPECT_EQ(core->registeredName(), "com.tesk.Skyvane0");
    ASSERT_NE(core->controller(), nullptr);
    EXPECT_TRUE(core->controller()->isAdvanced());

    // The skeleton, with Quit last after a separator; no mode item in advanced mode.
    const std::vector<std::string> skeleton = {"-", "Update Now", "Locations", "Preferences…", "-", "About Skyvane 1.2",
                                               "-", "Quit"};
    EXPECT_EQ(titles(core->menu()), skeleton);
    EXPECT_EQ(core->menu()->itemAtIndex(7)->tag(), ComTeskPlim::kQuit);
    EXPECT_EQ(titles(core->locationMenu()),
              (std::vector<std::string>{"Ames, IA", "Des Moines, IA", "-", "New Location…", "Manage Locations…"}));
    EXPECT_EQ(core->locationMenu()->itemAtIndex(0)->image(), core->statusImage(Location::kFavorite));
    EXPECT_EQ(core->locationMenu()->itemAtIndex(1)->image(), core->statusImage(Location::kPrimary));

    // The refresh reaches the fixture site through the system proxy, and the
    // menu and the status item show the city's weather.
    ASSERT_TRUE(waitFor([&] { return hasLine(core->menu(), "Des Moines") && !core->statusItem()->title().empty(); }));
    EXPECT_NE(core->statusItem()->title().find("30"), std::string::npos) << core->statusItem()->title();
    EXPECT_TRUE(core->statusItem()->image());
    ASSERT_TRUE(waitFor([&] { return core->menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled(); }));
    EXPECT_EQ(core->menu()->itemWithTag(ComTeskPlim::kUpdate)->title(), "Update Now");
    // The keys stay stored with the location, the last update in memory.
    EXPECT_EQ(core->locMan()->primaryLocation().lastUpdate, kNow);

    // The first check only notes the time; a check within a week does nothing.
    for (auto [day, noted] : {std::pair{0, 0}, {3, 0}, {8, 8}}) {
        Clock::pin(kNow + day * 86400);
        core->timedCheckForUpdate();
        EXPECT_EQ(stored().at("date_new_version_checked").asReal(), static_cast<double>(kNow + noted * 86400)) << day;
    }

    // Only a newer version adds the item, once, at the end of the menu.
    {
        CaptureStderr err;
        core->versionAvailable(plist::Value(3));
        core->versionAvailable(plist::Value("1.1"));
        core->addUpgradeItemIfNeeded();
        EXPECT_NE(err.text().find("versionInfo is of class"), std::string::npos);
    }
    EXPECT_EQ(core->upgradeItem(), nullptr);
    const int lines = core->menu()->numberOfItems();
    core->versionAvailable(plist::Value("1.3"));
    core->addUpgradeItemIfNeeded();
    core->addUpgradeItemIfNeeded();
    ASSERT_NE(core->upgradeItem(), nullptr);
    EXPECT_EQ(core->menu()->items().back(), core->upgradeItem());
    EXPECT_EQ(core->upgradeItem()->tag(), ComTeskPlim::kNewVersion);
    EXPECT_EQ(core->upgradeItem()->title(), "A new version is available…");
    EXPECT_EQ(core->menu()->numberOfItems(), lines + 1);
    // A later report while the item is shown adds no second one.
    core->versionAvailable(plist::Value("1.4"));
    core->addUpgradeItemIfNeeded();
    EXPECT_EQ(core->menu()->numberOfItems(), lines + 1);
    EXPECT_EQ(core->urlFor(5), server.url("/products/skyvane"));
    EXPECT_EQ(core->urlFor(6), server.url("/products/skyvane/version.txt"));
    ComTeskPlim::setSite("");
    EXPECT_EQ(core->urlFor(5), "http://www.skyvane.org/products/skyvane");

    // Choosing a city makes it primary, stores that and refreshes.
    const size_t requests = server.requestCount();
    core->locationMenu()->itemAtIndex(0)->userChoose();
    EXPECT_EQ(core->locationMenu()->itemAtIndex(0)->title(), "Ames, IA");
    EXPECT_EQ(core->locationMenu()->itemAtIndex(0)->image(), core->statusImage(Location::kPrimaryFavorite));
    EXPECT_EQ(core->locationMenu()->itemAtIndex(1)->image(), core->statusImage(Location::kPlain));
    EXPECT_EQ(stored().at("locations").asArray()[0].get("locStatus").asInt(), Location::kPrimaryFavorite);
    ASSERT_TRUE(waitFor([&] { return server.requestCount() > requests; }));

    // Tear-down: no status item, no name, no menu.
    const size_t items = StatusBar::systemStatusBar().items().size();
    core->deactivate();
    EXPECT_EQ(StatusBar::systemStatusBar().items().size(), items - 1);
    EXPECT_FALSE(RemoteObject::lookup("com.tesk.Skyvane0", kSkyvanePublic));
    EXPECT_FALSE(core->menu());
}

TEST_F(ComTeskPlimTest, WhenNoSourceAnswersTheMenuShowsTheError) {
    RefusedPort refused;
    setProxyPort(refused.port());
    store(earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)}));
    auto core = std::make_unique<ComTeskPlim>();
    ASSERT_TRUE(waitFor([&] { return hasLine(core->menu(), "Could not contact weather site  (5)"); }));
    EXPECT_TRUE(core->statusItem()->image());
    // No city at all: the menu asks for one instead of waiting for ever.
    core.reset();
    store(earlierPrefs("advance_mode", {}));
    core = std::make_unique<ComTeskPlim>();
    EXPECT_EQ(titles(core->locationMenu()), (std::vector<std::string>{"-", "New Location…", "Manage Locations…"}));
    ASSERT_TRUE(waitFor([&] { return hasLine(core->menu(), "(6)"); }));
}

TEST_F(ComTeskPlimTest, FreeModeSecondCopyAndPushesFromTheSetupApplication) {
    // Another copy holds the first name.
    VendedObject other({kSkyvanePublic}, [](auto&, auto&, auto&) { return plist::Value(); });
    ASSERT_TRUE(other.registerName("com.tesk.Skyvane0"));
    store(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}));
    CaptureStderr err;
    auto core = std::make_unique<ComTeskPlim>();
    EXPECT_NE(err.text().find("Couldn't vend object com.tesk.Skyvane0"), std::string::npos);
    EXPECT_EQ(core->registeredName(), "com.tesk.Skyvane1");
    ASSERT_FALSE(core->controller()->isAdvanced());
    // The mode item right after the about item; Quit stays last.
    std::vector<std::string> menu = titles(core->menu());
    ASSERT_EQ(menu.size(), 9u);
    EXPECT_EQ(menu[5], "About Skyvane 1.2");
    EXPECT_EQ(menu[6], "Switch to Advanced Mode");
    EXPECT_EQ(menu.back(), "Quit");
    ASSERT_TRUE(waitFor([&] { return hasLine(core->menu(), "Des Moines"); }));

    // One preference: in memory only.
    ASSERT_EQ(push("com.tesk.Skyvane1", "setPreference_toValue", {plist::Value("font_size"), plist::Value(1)}),
              std::nullopt);
    EXPECT_EQ(core->prefs().at("font_size").asInt(), 1);
    EXPECT_NE(stored().at("font_size").asInt(), 1);
    // The whole set: stored, the locations rebuilt, a refresh started.
    std::shared_ptr<LocationManager> before = core->locMan();
    plist::Dict whole = core->prefs();
    whole["locations"] = plist::Value(plist::Array{city("Ames, IA", Location::kFavorite), city("Des Moines, IA", Location::kPrimary)});
    const size_t requests = server.requestCount();
    ASSERT_EQ(push("com.tesk.Skyvane1", "setPreferences", {plist::Value(whole)}), std::nullopt);
    EXPECT_NE(core->locMan(), before);
    EXPECT_EQ(titles(core->locationMenu())[0], "Ames, IA");
    EXPECT_EQ(stored().at("font_size").asInt(), 1);
    EXPECT_EQ(stored().at("locations").asArray().size(), 2u);
    ASSERT_TRUE(waitFor([&] { return server.requestCount() > requests; }));

    // The mode item switches to advanced mode at once, for good.
    core->menu()->itemWithTag(ComTeskPlim::kSwitchMode)->userChoose();
    EXPECT_TRUE(core->controller()->isAdvanced());
    EXPECT_EQ(core->menu()->itemWithTag(ComTeskPlim::kSwitchMode), nullptr);
    EXPECT_EQ(stored().at("mode").asString(), "advance_mode");
    core->deactivate();
}

TEST_F(ComTeskPlimTest, FirstRunOpensTheNewLocationWindowOfTheSetupApplication) {
    session.makeSetupBundle(apps() / "Skyvane Setup.app");
    auto core = std::make_unique<ComTeskPlim>();
    ASSERT_TRUE(session.waitForCalls(1));
    EXPECT_EQ(session.calls()[0],
              "runPreferences_advanced_forApp_pane_firstRun dict(" + std::to_string(core->prefs().size()) +
                  ") 1 com.tesk.Skyvane0 newloc 1 mode=advance_mode");
    // The defaults and the upgrades were stored.
    plist::Dict prefs = stored();
    EXPECT_EQ(prefs.at("version").asReal(), 2.0);
    EXPECT_EQ(prefs.at("source_pref").asArray().size(), 4u);
    EXPECT_GE(prefs.at("update_frequency").asInt(), 15);
    // The menu commands reach the running setup application.
    core->menu()->itemWithTag(ComTeskPlim::kAbout)->userChoose();
    ASSERT_TRUE(session.waitForCalls(2));
    EXPECT_EQ(session.calls()[1], "runAboutBox");
    core->deactivate();
}
