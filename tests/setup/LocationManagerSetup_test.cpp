#include <chrono>
#include <thread>

#include "LineSearchScraper.h"
#include "SetupFixture.h"
#include "model/LocationManager.h"
#include "platform/EnvScope.h"
#include "platform/PreferenceStore.h"
#include "platform/ui/Alert.h"
#include "support/FixtureServer.h"
#include "support/SpawnedProgram.h"

namespace {

class LocationPaneTest : public SetupTest {
protected:
    void run(const plist::Dict& prefs) {
        setup.runPreferences(prefs, true, nullptr, "locations", false);
        p = setup.prefControl();
        loc = p->locManSetup_.get();
        table = loc->manageTableView.get();
    }
    std::vector<std::string> storedNames() const {
        std::vector<std::string> names;
        for (const auto& d : p->prefs()->at("locations").asArray())
            names.push_back(d.get("city").asString() + ":" + std::to_string(d.get("locStatus").asInt()));
        return names;
    }
    ComTeskPlimSetup setup;
    SkyvanePrefs* p = nullptr;
    LocationManagerSetup* loc = nullptr;
    TableView* table = nullptr;
};

// Cities "City A", "City B", ...: the first primary, the first `favorites` favorite.
plist::Dict manyCities(int cities, int favorites) {
    plist::Array list(static_cast<size_t>(cities));
    for (int i = 0; i < cities; ++i) {
        plist::Value& city = list[static_cast<size_t>(i)];
        city["city"] = "City " + std::string(1, static_cast<char>('A' + i));
        city["locStatus"] = (i == 0 ? 1 : 0) | (i < favorites ? 2 : 0);
    }
    plist::Dict prefs;
    prefs["locations"] = list;
    prefs["source_pref"] = plist::Array{1, 5, 6, 3};
    return prefs;
}

}  // namespace

TEST_F(LocationPaneTest, ASeventhFavoriteIsRefusedWithASheet) {
    run(manyCities(7, 6));
    ASSERT_EQ(loc->locationManager()->numFavorites(), 6u);
    ASSERT_TRUE(table->userClickCell("0", 6));
    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    const AlertRef& alert = Application::shared().alerts()[0];
    EXPECT_EQ(alert->messageText(), "Problem");
    EXPECT_EQ(alert->informativeText(), "You can have at most 6 favorite cities.");
    EXPECT_EQ(alert->buttonTitle(kAlertDefaultReturn), "OK");
    EXPECT_EQ(alert->parentWindow(), p->prefsWindow.get());
    EXPECT_FALSE(loc->locationManager()->isFavoriteAtIndex(6));
    EXPECT_FALSE(p->prefs()->at("locations").asArray()[6].get("locStatus").asInt() & 2);

    // Removing one of the six is always allowed and stored at once.
    ASSERT_TRUE(table->userClickCell("0", 2));
    EXPECT_FALSE(loc->locationManager()->isFavoriteAtIndex(2));
    EXPECT_EQ(p->prefs()->at("locations").asArray()[2].get("locStatus").asInt(), 0);
}

TEST_F(LocationPaneTest, TheTableShowsTheListAndDeleteAndPrimaryEditIt) {
    run(samplePrefs());
    EXPECT_EQ(table->renderedRows(), (std::vector<std::vector<std::string>>{
                                         {"[ ]", "Austin, TX"}, {"[x]", "Boston, MA"}, {"[ ]", "Chicago, IL"}}));
    EXPECT_EQ(loc->managePrimaryPopup->numberOfItems(), 3);
    EXPECT_EQ(loc->managePrimaryPopup->titleOfSelectedItem(), "Austin, TX");
    EXPECT_FALSE(loc->infoShown());

    // Deleting the primary city hands the primary mark to the first favorite.
    ASSERT_TRUE(table->userSelectRow(0));
    EXPECT_TRUE(loc->manageDeleteButton->isEnabled());
    ASSERT_TRUE(loc->manageDeleteButton->userClick());
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Boston, MA:3", "Chicago, IL:0"}));
    EXPECT_EQ(loc->managePrimaryPopup->titleOfSelectedItem(), "Boston, MA");

    // Choosing another primary city in the pop-up; the favorite keeps its mark.
    ASSERT_TRUE(loc->managePrimaryPopup->userSelect(1));
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Boston, MA:2", "Chicago, IL:1"}));

    // The last city is never removed, and Delete is disabled with one city.
    ASSERT_TRUE(table->userSelectRow(0));
    ASSERT_TRUE(loc->manageDeleteButton->userClick());
    table->deselectAll();
    ASSERT_TRUE(table->userSelectRow(0));
    EXPECT_FALSE(loc->manageDeleteButton->isEnabled());
    loc->deleteManageAction(nullptr);
    EXPECT_EQ(loc->locationManager()->numLocations(), 1);
}

TEST_F(LocationPaneTest, TheInfoListNamesTheSourcesThatKnowTheCityInTheUsersOrder) {
    run(samplePrefs());
    ASSERT_TRUE(table->userSelectRow(1));  // Boston: nws and ug
    EXPECT_EQ(loc->infoTextView->string(), "weather.gov\nwunderground.com");
    (*p->prefs())["source_pref"] = plist::Array{5, 1, 6, 3};
    ASSERT_TRUE(table->userSelectRow(0));
    ASSERT_TRUE(table->userSelectRow(1));
    EXPECT_EQ(loc->infoTextView->string(), "wunderground.com\nweather.gov");
    // Chicago: an aol miss is no source, an empty usa key is one.
    ASSERT_TRUE(table->userSelectRow(2));
    EXPECT_EQ(loc->infoTextView->string(), "usatoday.com");

    // The disclosure grows and shrinks the window by the list's height, top edge kept.
    const Rect before = p->prefsWindow->frame();
    const double h = loc->infoScrollView->frame().height();
    loc->infoDisclosureAction(nullptr);
    EXPECT_TRUE(loc->infoShown());
    EXPECT_EQ(p->prefsWindow->frame().height(), before.height() + h);
    EXPECT_EQ(p->prefsWindow->frame().maxY(), before.maxY());
    loc->infoDisclosureAction(nullptr);
    EXPECT_FALSE(loc->infoShown());
    EXPECT_EQ(p->prefsWindow->frame(), before);
}

TEST_F(LocationPaneTest, TheListIsLoadedOnceAndKeptAsEdited) {
    run(samplePrefs());
    ASSERT_TRUE(table->userClickCell("0", 2));
    p->OKAction(nullptr);
    run(manyCities(2, 0));
    EXPECT_EQ(table->renderedRows(), (std::vector<std::vector<std::string>>{
                                         {"[ ]", "Austin, TX"}, {"[x]", "Boston, MA"}, {"[x]", "Chicago, IL"}}));
}

#ifdef SKYVANE_APP_BINARY
// The real menu program: a city added in New Location after the Preferences
// window that opened it was closed is added by the running program and is in
// its stored file as soon as the call returns, without the program ending.
TEST_F(LocationPaneTest, ACityAddedAfterThePreferencesClosedIsStoredByTheRunningMenuProgram) {
    TempDir home;
    FixtureServer server;
    server.route("n.example.com", "/search?q=Denver", FixtureReply::page("Denver, CO|nws-den\n"));
    EnvScope env;
    env.set("XDG_CONFIG_HOME", home.file("config").c_str());
    env.set("HOME", home.path().c_str());
    env.set("http_proxy", ("http://127.0.0.1:" + std::to_string(server.port())).c_str());
    env.set("no_proxy", nullptr);
    useLineSearchSources(bundleRoot);
    auto storedCities = [] {
        std::vector<std::string> names;
        const plist::Dict prefs = PreferenceStore("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost).copyMultiple();
        auto list = prefs.find("locations");
        if (list != prefs.end() && list->second.isArray())
            for (const plist::Value& d : list->second.asArray())
                names.push_back(d.get("city").stringOr("") + ":" + std::to_string(d.get("locStatus").asInt()));
        return names;
    };
    {
        PreferenceStore file("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost);
        file.setMultiple(samplePrefs(), {});
        ASSERT_TRUE(file.synchronize());
    }

    SpawnedProgram menu(SKYVANE_APP_BINARY, home);
    ASSERT_TRUE(menu.started());
    const std::string name = "com.tesk.Skyvane0";
    for (auto start = std::chrono::steady_clock::now();
         !RemoteObject::lookup(name, kSkyvanePublic) && std::chrono::steady_clock::now() - start < std::chrono::seconds(60);)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(RemoteObject::lookup(name, kSkyvanePublic)) << menu.log();

    // Preferences opens New Location and is then closed; New Location stays.
    setup.runPreferences(samplePrefs(), true, &name, "general", false);
    p = setup.prefControl();
    loc = p->locManSetup_.get();
    setup.runPreferences(samplePrefs(), true, nullptr, "newloc", false);
    ASSERT_TRUE(loc->newLocationWindow());
    p->cancelAction(nullptr);
    ASSERT_EQ(p->prefs(), nullptr);

    loc->locationTF->userType("Denver");
    ASSERT_TRUE(loc->newLocationButton->userClick());
    ASSERT_TRUE(searchEnds(*loc));
    EXPECT_FALSE(loc->newLocationWindow());
    EXPECT_TRUE(Application::shared().alerts().empty());
    EXPECT_EQ(storedCities(), (std::vector<std::string>{"Austin, TX:0", "Boston, MA:2", "Chicago, IL:0",
                                                        "Denver, CO:1"}));
    // Still running: the city was stored without the program ending.
    EXPECT_TRUE(RemoteObject::lookup(name, kSkyvanePublic)) << menu.log();
    const SpawnedProgram::Exit exit = menu.terminate();
    EXPECT_TRUE(exit.ended && WIFEXITED(exit.status) && WEXITSTATUS(exit.status) == 0) << menu.log();
}
#endif
