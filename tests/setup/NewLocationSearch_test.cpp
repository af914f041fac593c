#include "LineSearchScraper.h"
#include "SetupFixture.h"
#include "model/LocationManager.h"
#include "platform/EnvScope.h"
#include "support/CaptureStream.h"
#include "platform/ui/Alert.h"
#include "support/FixtureServer.h"

namespace {

// Every fetch goes through the fixture server at the port as the proxy.
void proxyTo(EnvScope& env, int port) {
    env.set("http_proxy", ("http://127.0.0.1:" + std::to_string(port)).c_str());
    env.set("no_proxy", nullptr);
}

const char kDenverPushed[] = "{city=s:Denver, CO;locStatus=i:1;nws=s:nws-den;}";

class NewLocationTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        useLineSearchSources(bundleRoot, &made);
        proxyTo(env, server.port());
        server.route("n.example.com", "/search?q=Springfield",
                     FixtureReply::page("Springfield, IL|nws-spi\nSpringfield, MO|nws-sgf\n"));
        server.route("u.example.com", "/search?q=Springfield",
                     FixtureReply::page("Springfield, MO|ug-sgf\nSpringfield, MA|ug-cef\n"));
        server.route("n.example.com", "/search?q=Denver", FixtureReply::page("Denver, CO|nws-den\n"));
        server.route("*", "/search?q=Nowhere", FixtureReply::page(""));
    }

    void open(bool advanced, const std::string& pane, const std::string* name = nullptr) {
        setup.runPreferences(samplePrefs(), advanced, name, pane, false);
        p = setup.prefControl();
        loc = p->locManSetup_.get();
        if (pane != "newloc") loc->newManageAction(nullptr);
    }
    bool search(const std::string& text) {
        loc->locationTF->userType(text);
        return loc->newLocationButton->userClick() && searchEnds(*loc);
    }
    // What the search wrote to the log.
    std::string searchLog(const std::string& text) {
        CaptureStderr err;
        EXPECT_TRUE(search(text));
        return err.text();
    }

    FixtureServer server;
    EnvScope env;
    std::vector<AggrScraper::ServiceType> made;
    ComTeskPlimSetup setup;
    SkyvanePrefs* p = nullptr;
    LocationManagerSetup* loc = nullptr;
};

}  // namespace

TEST_F(NewLocationTest, OneCityFoundBecomesThePrimaryCityAndIsPushedAtOnce) {
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    open(false, "newloc", &menu.name);
    ASSERT_TRUE(search("Denver"));
    // Free mode: only the National Weather Service, through the proxy.
    EXPECT_EQ(made, (std::vector<AggrScraper::ServiceType>{AggrScraper::Nws}));
    EXPECT_EQ(server.lastRequest().target, "http://n.example.com/search?q=Denver");

    const std::string pushed = menu.nextCall();
    EXPECT_EQ(pushed.rfind("setPreferences {", 0), 0u) << pushed;
    EXPECT_NE(pushed.find(kDenverPushed), std::string::npos) << pushed;
    EXPECT_EQ(loc->locationManager()->primaryLocation().name, "Denver, CO");
    EXPECT_EQ(loc->locationManager()->numLocations(), 4);
    EXPECT_EQ(loc->managePrimaryPopup->titleOfSelectedItem(), "Denver, CO");
    // The window closed, and with it the application.
    EXPECT_FALSE(loc->newLocationWindow());
    EXPECT_EQ(loc->locationTF->stringValue(), "");
    EXPECT_TRUE(Application::shared().isTerminated());
}

TEST_F(NewLocationTest, SeveralCitiesAreListedAndOneIsChosen) {
    open(true, "locations");
    const WindowRef window = loc->newLocationWindow();
    ASSERT_TRUE(window);
    // Over the locations pane the window is a sheet.
    EXPECT_TRUE(window->isSheet());
    const ViewRef afterField = std::make_shared<View>();
    loc->locationTF->setNextKeyView(afterField);
    const Rect before = window->frame();

    ASSERT_TRUE(search("Springfield"));
    // Advanced mode: every source with its files, in this order.
    EXPECT_EQ(made, (std::vector<AggrScraper::ServiceType>{AggrScraper::Nws, AggrScraper::Aol, AggrScraper::Ug,
                                                           AggrScraper::Usa}));
    ASSERT_EQ(loc->cities().size(), 3u);
    EXPECT_EQ(loc->numLocationsFoundTF->stringValue(), "Found 3 cities");
    EXPECT_EQ(loc->cities()[2].name, "Springfield, MO");
    EXPECT_EQ(loc->cities()[2].serviceKeys, (StringMap{{"nws", "nws-sgf"}, {"ug", "ug-sgf"}}));
    EXPECT_TRUE(loc->resultsShown());
    const double h = loc->locsView->frame().height();
    EXPECT_EQ(window->frame().height(), before.height() + h);
    EXPECT_EQ(window->frame().maxY(), before.maxY());
    EXPECT_EQ(loc->locsTableView->scrolledRow(), 0);
    // The list joins the key-view loop after the field.
    EXPECT_EQ(loc->locationTF->nextKeyView(), loc->locsTableView);
    EXPECT_EQ(loc->locsTableView->nextKeyView(), afterField);
    EXPECT_EQ(loc->newLocationButton->title(), "Choose");
    EXPECT_TRUE(loc->newLocationButton->isEnabled());
    EXPECT_TRUE(loc->progressIndicator->isHidden());
    EXPECT_GE(loc->progressIndicator->displayCount(), 2);

    // A second search with several results does not grow the window again.
    loc->locationTF->userType("Springfield");
    EXPECT_EQ(loc->newLocationButton->title(), "Search");
    ASSERT_TRUE(loc->newLocationButton->userClick());
    ASSERT_TRUE(searchEnds(*loc));
    EXPECT_EQ(window->frame().height(), before.height() + h);

    // Choosing row 1 adds Springfield, MA and closes the window.
    ASSERT_TRUE(loc->locsTableView->userSelectRow(1));
    ASSERT_TRUE(loc->newLocationButton->userClick());
    EXPECT_FALSE(loc->newLocationWindow());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(loc->resultsShown());
    EXPECT_EQ(loc->locationManager()->primaryLocation().name, "Springfield, MA");
    EXPECT_EQ(p->prefs()->at("locations").asArray().size(), 4u);
    // The preference window stays open, so the application goes on.
    EXPECT_FALSE(Application::shared().isTerminated());

    // Opened again, the key-view loop is not wired into itself.
    loc->newManageAction(nullptr);
    ASSERT_TRUE(search("Springfield"));
    EXPECT_EQ(loc->locationTF->nextKeyView(), loc->locsTableView);
    EXPECT_EQ(loc->locsTableView->nextKeyView(), afterField);
}

TEST_F(NewLocationTest, NothingFoundUnreachableAndRefusedInputs) {
    open(true, "newloc");
    ASSERT_TRUE(search("Springfield"));
    ASSERT_TRUE(loc->resultsShown());
    const Rect grown = loc->newLocationWindow()->frame();
    ASSERT_TRUE(search("Nowhere"));
    EXPECT_FALSE(loc->resultsShown());
    EXPECT_EQ(loc->newLocationWindow()->frame().height(), grown.height() - loc->locsView->frame().height());
    const std::string notFound = "No city of that name was found.";
    EXPECT_EQ(loc->newLocationNotFoundTF->stringValue(), notFound);

    // Five digits in a row are refused before any fetch, in the log and the window; two are searched.
    const size_t requests = server.requestCount();
    const std::string incomplete = "Please input a complete City Name. (ex. Sunnyvale, CA)Zip or Postal Codes are "
                                   "not supported by all weather sources.";
    EXPECT_NE(searchLog("Springfield 62704").find("need to display errorString " + incomplete), std::string::npos);
    EXPECT_EQ(server.requestCount(), requests);
    EXPECT_TRUE(loc->newLocationButton->isEnabled());
    EXPECT_EQ(loc->newLocationNotFoundTF->stringValue(), incomplete);
    ASSERT_TRUE(search("Nowhere 12"));
    EXPECT_GT(server.requestCount(), requests);
    EXPECT_EQ(loc->newLocationNotFoundTF->stringValue(), notFound);

    // The text field's own action and an empty field do nothing.
    const int displays = loc->progressIndicator->displayCount();
    loc->searchAction(loc->locationTF.get());
    loc->locationTF->setStringValue("");
    loc->searchAction(loc->newLocationButton.get());
    EXPECT_EQ(loc->progressIndicator->displayCount(), displays);
    // Return in the field presses the default button, Search.
    loc->locationTF->userType("Nowhere");
    const size_t before = server.requestCount();
    EXPECT_TRUE(loc->locationTF->userPressReturn());
    ASSERT_TRUE(searchEnds(*loc));
    EXPECT_GT(server.requestCount(), before);

    // No site reachable is said as such, not as a missing city.
    proxyTo(env, FixtureServer().port());  // a port nothing listens on any more
    EXPECT_NE(searchLog("Springfield").find("No weather site could be reached for the search of Springfield"),
              std::string::npos);
    EXPECT_EQ(loc->newLocationNotFoundTF->stringValue(), "Could not contact any weather site.");
    EXPECT_TRUE(loc->cities().empty());
    EXPECT_EQ(loc->newLocationWindow()->firstResponder(), loc->locationTF.get());
}

// The shipped configurations and the real site scrapers, against pages of
// the National Weather Service served by the fixture server as the proxy.
TEST_F(SetupTest, TheShippedNationalWeatherServiceSearchFindsACityThroughTheProxy) {
    FixtureServer server(std::string(SKYVANE_FIXTURES_DIR) + "/nws");
    server.route("www.srh.noaa.gov", "/zipcity.php?inputstring=Des+Moines",
                 FixtureReply::redirect(
                     "http://www.crh.noaa.gov/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX"));
    EnvScope env;
    proxyTo(env, server.port());
    ComTeskPlimSetup setup;
    setup.runPreferences(samplePrefs(), false, nullptr, "newloc", false);
    LocationManagerSetup& loc = *setup.prefControl()->locManSetup_;
    loc.locationTF->userType("Des Moines");
    ASSERT_TRUE(loc.newLocationButton->userClick());
    ASSERT_TRUE(searchEnds(loc));
    EXPECT_EQ(server.requests().front().target, "http://www.srh.noaa.gov/zipcity.php?inputstring=Des+Moines");
    EXPECT_EQ(loc.locationManager()->primaryLocation().name, "Des Moines, IA");
    EXPECT_FALSE(loc.locationManager()->primaryLocation().serviceKeys.at("nws").empty());
    EXPECT_FALSE(loc.newLocationWindow());
}

TEST_F(NewLocationTest, ACityAddedAfterOKStillReachesTheMenuProgram) {
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    open(false, "general", &menu.name);
    // The menu program asks for New Location while the preference window is open.
    setup.runPreferences(samplePrefs(), false, nullptr, "newloc", false);
    ASSERT_TRUE(loc->newLocationWindow());
    EXPECT_FALSE(loc->newLocationWindow()->isSheet());
    p->OKAction(nullptr);
    EXPECT_EQ(menu.nextCall().rfind("setPreferences {", 0), 0u);
    ASSERT_EQ(p->prefs(), nullptr);
    EXPECT_FALSE(Application::shared().isTerminated());

    ASSERT_TRUE(search("Denver"));
    // No window's dictionary is left: the city goes alone, for the menu
    // program to add to its own list.
    EXPECT_EQ(menu.nextCall(), "setCurrentLocationTo {city=s:Denver, CO;locStatus=i:0;nws=s:nws-den;}");
    EXPECT_TRUE(Application::shared().isTerminated());
}

TEST_F(NewLocationTest, ACityAddedAfterOKWhenTheMenuProgramHasQuitIsShown) {
    {
        FakeSkyvane menu;
        ASSERT_TRUE(menu.ready);
        open(false, "general", &menu.name);
        setup.runPreferences(samplePrefs(), false, nullptr, "newloc", false);
        p->OKAction(nullptr);
        ASSERT_EQ(menu.nextCall().rfind("setPreferences {", 0), 0u);
        ASSERT_EQ(p->prefs(), nullptr);
    }
    // The menu program has quit; the city alone cannot reach it either.
    EXPECT_NE(searchLog("Denver").find("The new city Denver, CO could not be sent to Skyvane"), std::string::npos);
    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    EXPECT_EQ(Application::shared().alerts().front()->messageText(), "Skyvane did not receive the new city");
    EXPECT_FALSE(Application::shared().isTerminated());
}

TEST_F(NewLocationTest, ACityThatCannotBeDeliveredIsLoggedAndShown) {
    const std::string nobody = "com.tesk.SkyvaneNobody" + std::to_string(getpid());
    open(false, "newloc", &nobody);
    EXPECT_NE(searchLog("Denver").find("The new city Denver, CO could not be sent to Skyvane"), std::string::npos);
    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    const AlertRef alert = Application::shared().alerts().front();
    EXPECT_TRUE(alert->isShowing());
    EXPECT_EQ(alert->messageText(), "Skyvane did not receive the new city");
    EXPECT_NE(alert->informativeText().find("\"Denver, CO\""), std::string::npos);
    // The window closed, but the program waits until the user has read it.
    EXPECT_FALSE(loc->newLocationWindow());
    EXPECT_FALSE(Application::shared().isTerminated());
    ASSERT_TRUE(alert->userPressButton(kAlertDefaultReturn));
    EXPECT_TRUE(Application::shared().isTerminated());
}

// A site that accepts and never answers: the search runs while the window
// stays usable, and ends at once when the window closes or a new search
// takes its place. The sources would wait two minutes; only the stop ends
// their fetch sooner.
TEST_F(NewLocationTest, ASearchOfASiteThatNeverAnswersEndsWithTheWindowOrTheNextSearch) {
    useLineSearchSources(bundleRoot, &made, 120);
    server.route("n.example.com", "/search?q=Stalled", FixtureReply::stall());
    open(false, "locations");
    const size_t listed = loc->locationManager()->numLocations();
    struct Case {
        const char* name;
        std::function<void()> end;  // ends the stalled search
        size_t added;               // cities added afterwards
    };
    const Case cases[] = {
        {"closed from the desktop", [&] { EXPECT_TRUE(loc->newLocationWindow()->performClose()); }, 0},
        {"closed with its button", [&] { loc->closeNewLocAction(nullptr); }, 0},
        // Editing the text enables Search again; the new search replaces the stalled one.
        {"searched again", [&] {
             loc->locationTF->userType("Denver");
             EXPECT_TRUE(loc->newLocationButton->isEnabled());
             ASSERT_TRUE(loc->locationTF->userPressReturn());
             ASSERT_TRUE(searchEnds(*loc));
         }, 1},
    };
    size_t stalls = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!loc->newLocationWindow()) loc->newManageAction(nullptr);
        // A window opened after a stopped search starts idle.
        EXPECT_TRUE(loc->progressIndicator->isHidden());
        EXPECT_TRUE(loc->newLocationButton->isEnabled());
        const size_t requests = server.requestCount();
        loc->locationTF->userType("Stalled");
        ASSERT_TRUE(loc->locationTF->userPressReturn());
        ASSERT_TRUE(server.waitForRequests(requests + 1));
        // Return came back at once, the search running and the busy state shown.
        EXPECT_TRUE(loc->searching());
        EXPECT_FALSE(loc->progressIndicator->isHidden());
        EXPECT_TRUE(loc->progressIndicator->isAnimating());
        EXPECT_FALSE(loc->newLocationButton->isEnabled());

        c.end();
        EXPECT_FALSE(loc->searching());
        ASSERT_TRUE(server.waitForStallsLeft(++stalls, 20000)) << "the stalled fetch went on";
        // Whatever the stopped search would bring is dropped.
        MainLoop::instance().runUntil([] { return false; }, 200);
        EXPECT_EQ(loc->locationManager()->numLocations(), listed + c.added);
        EXPECT_EQ(p->prefs()->at("locations").asArray().size(), listed + c.added);
        EXPECT_FALSE(loc->newLocationWindow());
        EXPECT_TRUE(loc->progressIndicator->isHidden());
        EXPECT_FALSE(loc->progressIndicator->isAnimating());
    }
    EXPECT_EQ(loc->locationManager()->primaryLocation().name, "Denver, CO");
}
