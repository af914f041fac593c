#include "menu/PlimMenuController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <random>
#include <thread>

#include "FakeMenuTarget.h"
#include "scrapers/FlexiScraper.h"
#include "scrapers/ScraperThread.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"
#include "menu/PlimMenuWrapper.h"
#include "model/LocationManager.h"
#include "support/CaptureStream.h"
#include "util/Clock.h"

namespace {

using Names = std::vector<std::string>;

// 2026-12-08 14:30:00 UTC.
time_t pinnedNow() {
    struct tm t {};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 14;
    t.tm_min = 30;
    return timegm(&t);
}

StringMap advancedPrefs() {
    return {{"mode", "advance_mode"}, {"five_day_forecast", "1"}, {"radar", "1"},          {"feels_like", "1"},
            {"humidity", "1"},        {"wind", "0"},              {"barometer", "0"},      {"visibility", "0"},
            {"sunrise_sunset", "1"},  {"dewpoint", "0"},          {"icon_saturation", "0.5"}, {"icon_set", "2"},
            {"font_size", "0"},       {"units", "1"}};
}

ScrapeReport report(const std::string& city, int favIndex = -1, ScrapeStatus::Status status = ScrapeStatus::Success) {
    ScrapeReport r;
    r.setStatus(status);
    r.setInput("cityName", city);
    r.setInput("isFavorite", favIndex >= 0 ? "1" : "0");
    if (favIndex >= 0) r.setInput("favIndex", std::to_string(favIndex));
    StringMap& d = r.getDisplayHashRef();
    d = {{"url", "http://weather.example/" + city},
         {"weatherCode", "30"},
         {"report_time", "1765204200"},
         {"temperature", "72"},
         {"gmtOffset", "-5"},
         {"sunrise_mins", "390"},
         {"sunset_mins", "1065"},
         {"sunrise", "6:30 AM"},
         {"sunset", "5:45 PM"},
         {"credit", "www.weather.gov"},
         {"humidity", "45%"},
         {"feels_like", "70"},
         {"wind", "N 5"}};
    r.getOutputHashRef()["radarFile"] = "radar_" + city + ".gif";
    return r;
}

void addForecast(ScrapeReport& r) {
    StringMap& d = r.getDisplayHashRef();
    d["day-1"] = "Tonight";
    d["low-1"] = "50";
    d["code-1"] = "33";
    d["day-2"] = "Wednesday";
    d["high-2"] = "75";
    d["code-2"] = "32";
    d["day-3"] = "Thursday";
    d["high-3"] = "70";
    d["low-3"] = "55";
    d["day-4"] = "Friday";  // neither high nor low: the forecast ends here
    d["day-5"] = "Saturday";
    d["high-5"] = "60";
}

void addWarning(ScrapeReport& r, const std::string& severity) {
    r.getDisplayHashRef()["warn-type"] = "Heat Advisory";
    r.getDisplayHashRef()["warn-severity"] = severity;
}

LocationManager favorites(const std::vector<std::string>& names, const std::string& primary = "Zurich") {
    std::vector<Location> list;
    Location p;
    p.name = primary;
    p.status = Location::kPrimary;
    list.push_back(p);
    for (const std::string& name : names) {
        Location l;
        l.name = name;
        l.status = Location::kFavorite;
        list.push_back(l);
    }
    return LocationManager(list);
}

bool contains(const Names& log, const std::string& call) { return std::find(log.begin(), log.end(), call) != log.end(); }

// The first weather icon a log draws, or "".
std::string weatherIcon(const Names& log) {
    for (const std::string& call : log)
        if (call.rfind("weather", 0) == 0) return call;
    return "";
}

class PlimMenuControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainLoop::instance();  // this thread is the main thread
        Clock::pin(pinnedNow());
        new PlimMenuWrapper(channel.poster(), &menu);
        controller = std::make_unique<PlimMenuController>();
    }
    void TearDown() override {
        controller.reset();
        drainMainThreadPosts();
        deletePlimMenuWrapperSingleton();
        Clock::unpin();
    }

    // Hands the report over on a worker thread, as a scraper thread does, and
    // lets the main thread carry out the menu calls.
    void deliver(ScrapeReport r) {
        std::thread([&] { controller->setWeatherData(r); }).join();
        ASSERT_TRUE(drainMainThreadPosts());
    }
    void setPrefs(const StringMap& prefs, const LocationManager& locations) {
        controller->setPreferences(prefs, &locations);
    }

    FakeMenuTarget menu;
    MainThreadChannel channel;
    std::unique_ptr<PlimMenuController> controller;
};

}  // namespace

TEST_F(PlimMenuControllerTest, AdvancedModeBuildsEveryLineInMenuOrder) {
    setPrefs(advancedPrefs(), favorites({"Austin", "Boston"}));
    ScrapeReport primary = report("Zurich");
    addForecast(primary);
    addWarning(primary, "warning");
    deliver(primary);
    deliver(report("Austin", 0));
    deliver(report("Boston", 1));

    EXPECT_EQ(menu.itemNames(),
              (Names{"cityName", "updateTime", "warning", "forecast-1", "forecast-2", "forecast-3", "radar", "feels_like",
                     "humidity", "sunrise_sunset", "datafrom", "favSep", "fav-0", "fav-1"}));
    EXPECT_TRUE(menu.faults.empty());
    EXPECT_EQ(menu.offMainThread, 0);
    for (const auto& line : menu.lines) EXPECT_TRUE(line.filled) << line.get("item");

    const auto* city = menu.line("cityName");
    EXPECT_EQ(city->get("type"), "2");
    EXPECT_EQ(city->get("url"), "http://weather.example/Zurich");
    EXPECT_EQ(city->get("pcName"), "Zurich");
    EXPECT_EQ(city->get("code"), "30");
    EXPECT_EQ(menu.line("updateTime")->get("time"), "1765204200");

    const auto* warning = menu.line("warning");
    EXPECT_EQ(warning->get("type"), "8");
    EXPECT_EQ(warning->get("ws"), "warning");
    EXPECT_EQ(warning->get("wt"), "Heat Advisory");
    EXPECT_EQ(warning->get("sat"), "0.500000");

    const auto* night = menu.line("forecast-1");
    EXPECT_EQ(night->get("fcDay"), "Tonight");
    EXPECT_EQ(night->get("fcHiLo"), "Lo 50\u00B0");
    EXPECT_EQ(night->get("curMin"), "1400");
    EXPECT_EQ(night->get("code"), "33");
    EXPECT_EQ(night->get("sat"), "0.5");
    EXPECT_EQ(menu.line("forecast-2")->get("fcHiLo"), "Hi 75\u00B0");
    EXPECT_EQ(menu.line("forecast-2")->get("curMin"), "720");
    EXPECT_EQ(menu.line("forecast-3")->get("fcHiLo"), "70\u00B0..55\u00B0");

    EXPECT_EQ(menu.line("radar")->get("pcName"), "radar_Zurich.gif");
    EXPECT_EQ(menu.line("humidity")->get("condData"), "45%");
    EXPECT_EQ(menu.line("humidity")->get("condType"), "humidity");
    EXPECT_EQ(menu.line("humidity")->get("url"), "<none>");
    EXPECT_EQ(menu.line("sunrise_sunset")->get("condData"), "6:30 AM/5:45 PM");
    EXPECT_EQ(menu.line("datafrom")->get("condData"), "www.weather.gov");
    EXPECT_EQ(menu.line("datafrom")->get("url"), "http://www.weather.gov");
    EXPECT_EQ(menu.line("favSep")->get("type"), "5");

    const auto* austin = menu.line("fav-0");
    EXPECT_EQ(austin->get("type"), "6");
    EXPECT_EQ(austin->get("pcName"), "Austin");
    EXPECT_EQ(austin->get("temp"), "72\u00B0");
    EXPECT_EQ(austin->get("curMin"), "570");  // 14:30 UTC at five hours behind
    EXPECT_EQ(austin->get("riseMin"), "390");
    EXPECT_EQ(austin->get("setMin"), "1065");
    EXPECT_EQ(austin->get("wc"), "0");
    EXPECT_EQ(austin->get("sat"), "0.5");
    EXPECT_EQ(menu.line("fav-1")->get("pcName"), "Boston");

    // The last rebuild's menu-bar calls: icon set, title at the smaller size,
    // then the weather icon.
    Names log = menu.log;
    auto at = [&](const std::string& entry) { return std::find(log.rbegin(), log.rend(), entry) != log.rend(); };
    EXPECT_TRUE(at("iconset 2"));
    EXPECT_TRUE(at("text [72\u00B0] 12"));
    EXPECT_TRUE(at("weather 30 2 570 390 1065 0.500000"));
}

TEST_F(PlimMenuControllerTest, PreferencesChooseTheDetailLinesAndFreeModeShowsOnlyTheFixedOnes) {
    StringMap prefs = advancedPrefs();
    prefs["five_day_forecast"] = "0";
    prefs["radar"] = "0";
    prefs["font_size"] = "1";
    prefs.erase("icon_set");
    setPrefs(prefs, favorites({"Austin"}));
    ScrapeReport primary = report("Zurich");
    addForecast(primary);
    addWarning(primary, "watch");
    deliver(primary);
    deliver(report("Austin", 0));
    EXPECT_EQ(menu.itemNames(), (Names{"cityName", "updateTime", "warning", "feels_like", "humidity",
                                       "sunrise_sunset", "datafrom", "favSep", "fav-0"}));
    EXPECT_EQ(menu.log.back(), "set 8");
    EXPECT_NE(std::find(menu.log.begin(), menu.log.end(), "iconset 1"), menu.log.end());  // no icon_set: 1
    EXPECT_NE(std::find(menu.log.begin(), menu.log.end(), "text [72\u00B0] 14"), menu.log.end());

    // Free mode: whatever the preferences say, no detail line, icon set 0
    // and grey icons.
    prefs = advancedPrefs();
    prefs["mode"] = "free_mode";
    setPrefs(prefs, favorites({"Austin"}));
    menu.takeLog();
    controller->refresh(false);  // on the main thread: the calls run at once
    EXPECT_EQ(menu.itemNames(), (Names{"cityName", "updateTime", "warning", "datafrom", "favSep", "fav-0"}));
    Names log = menu.takeLog();
    EXPECT_EQ(log.front(), "iconset 0");
    EXPECT_NE(std::find(log.begin(), log.end(), "weather 30 1 570 390 1065 0.000000"), log.end());
    EXPECT_EQ(menu.line("warning")->get("sat"), "0.000000");
    EXPECT_EQ(menu.line("fav-0")->get("sat"), "0.0");
    EXPECT_EQ(menu.line("fav-0")->get("wc"), "0");
    EXPECT_TRUE(menu.faults.empty());

    // iconRefresh touches only the icon and the title.
    controller->iconRefresh(false);
    EXPECT_EQ(menu.takeLog(), (Names{"text [72\u00B0] 12", "weather 30 1 570 390 1065 0.000000"}));
}

TEST_F(PlimMenuControllerTest, FailedPrimaryWithoutDataShowsTheErrorOfItsStatus) {
    setPrefs(advancedPrefs(), favorites({}));
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "4"}, {2, "4"}, {3, "5"}, {4, "2"}, {5, "1000"}, {6, "6"}, {42, "1000"}};
    for (const auto& [status, code] : cases) {
        CaptureStderr err;
        deliver(report("Zurich", -1, static_cast<ScrapeStatus::Status>(status)));
        EXPECT_EQ(err.text(), "PlimMenuController:: Got bad primary:  status=[" + std::to_string(status) +
                                  "] favIndex=[] isPrimary=[1]\n");
        EXPECT_EQ(menu.itemNames(), Names{"error"});
        EXPECT_EQ(menu.lines[0].get("type"), "7");
        EXPECT_EQ(menu.lines[0].get("err"), code) << "status " << status;
        Names log = menu.takeLog();
        EXPECT_NE(std::find(log.begin(), log.end(), "text [    ] 14"), log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "image status/kv2-x.png"), log.end());
    }
    EXPECT_EQ(controller->reportNames(), Names{});
    controller->iconRefresh(false);
    EXPECT_EQ(menu.takeLog(), (Names{"text [    ] 14", "image status/kv2-x.png"}));
}

TEST_F(PlimMenuControllerTest, FailedPrimaryKeepsTheLastGoodDataUnderAWarning) {
    setPrefs(advancedPrefs(), favorites({"Austin"}));
    deliver(report("Zurich"));
    deliver(report("Austin", 0));
    deliver(report("Zurich", -1, ScrapeStatus::FetchFailed));
    ASSERT_GE(menu.lines.size(), 2u);
    EXPECT_EQ(menu.lines[0].get("item"), "error");
    EXPECT_EQ(menu.lines[0].get("err"), "3");
    EXPECT_EQ(menu.lines[1].get("item"), "cityName");

    // A failed favorite changes nothing; the next good primary clears the error.
    Names before = menu.itemNames();
    ScrapeReport failed = report("Austin", 0, ScrapeStatus::FetchFailed);
    failed.getDisplayHashRef()["temperature"] = "10";
    deliver(failed);
    EXPECT_EQ(menu.itemNames(), before);
    EXPECT_EQ(menu.line("fav-0")->get("temp"), "72\u00B0");
    deliver(report("Zurich"));
    EXPECT_EQ(menu.itemNames().front(), "cityName");
    EXPECT_TRUE(menu.faults.empty());
}

TEST_F(PlimMenuControllerTest, AFailedUpdateOfANewPrimaryCityShowsTheFailureNotTheOldCity) {
    setPrefs(advancedPrefs(), favorites({"Austin"}, "Zurich"));
    deliver(report("Zurich"));
    deliver(report("Austin", 0));
    // The user picks Geneva, whose first update fails: Zurich's weather goes.
    setPrefs(advancedPrefs(), favorites({"Austin"}, "Geneva"));
    menu.takeLog();
    deliver(report("Geneva", -1, ScrapeStatus::FetchFailed));
    EXPECT_EQ(menu.itemNames(), Names{"error"});
    EXPECT_EQ(menu.line("error")->get("err"), "5");
    const Names log = menu.takeLog();
    EXPECT_TRUE(contains(log, "image status/kv2-x.png"));
    EXPECT_EQ(weatherIcon(log), "");
    EXPECT_EQ(controller->reportNames(), Names{"fav-0"});

    // Once Geneva had a good report, its own failure keeps it on show.
    deliver(report("Geneva"));
    deliver(report("Geneva", -1, ScrapeStatus::FetchFailed));
    EXPECT_EQ(menu.line("error")->get("err"), "3");
    EXPECT_EQ(menu.line("cityName")->get("pcName"), "Geneva");
}

TEST_F(PlimMenuControllerTest, AReportWithoutAWeatherCodeShowsNoCondition) {
    setPrefs(advancedPrefs(), favorites({}));
    ScrapeReport primary = report("Zurich");
    primary.getDisplayHashRef().erase("weatherCode");
    deliver(primary);
    EXPECT_EQ(menu.line("cityName")->get("code"), "");
    EXPECT_EQ(weatherIcon(menu.takeLog()), "weather -1 0 570 390 1065 0.500000");
}

TEST_F(PlimMenuControllerTest, RepliesWithoutWeatherAreFailedUpdatesThatKeepTheLastGoodReport) {
    FastHttp fast;
    FixtureServer server;
    server.mapHost("weather.example.com", "flexi");
    FlexiScraper scraper(fixtureText("flexi/search.conf"), fixtureText("flexi/weather.conf"));
    scraper.setHttpProxy("127.0.0.1", server.port());
    setPrefs(advancedPrefs(), favorites({}, "Springfield, IL"));
    // Scrapes on a scraper thread without a backup source, as a refresh does.
    auto refreshWith = [&](const FixtureReply* reply) {
        server.clearRoutes();
        if (reply) server.route("weather.example.com", "/current/springfield.html", *reply);
        ScraperThread thread(ScraperThread::ScrapeType::Location);
        ScraperThread::LocationSpec& spec = thread.getLocationSpec();
        spec.primaryScraper = &scraper;
        SuperScraper::joinKey({"springfield", "KSPI"}, spec.primaryKey);
        spec.location.name = "Springfield, IL";
        spec.menuController = controller->reportGate().get();
        CaptureStdout out;
        CaptureStderr err;
        ASSERT_TRUE(thread.startLocation());
        thread.join();
        ASSERT_TRUE(drainMainThreadPosts());
    };
    const FixtureReply noValues = FixtureReply::page("<html><body><h1>Springfield</h1>No data.</body></html>");

    // Before any good report: "Problem reading weather site".
    refreshWith(&noValues);
    EXPECT_EQ(menu.itemNames(), Names{"error"});
    EXPECT_EQ(menu.line("error")->get("err"), "2");

    refreshWith(nullptr);
    ASSERT_EQ(menu.line("cityName")->get("code"), "16");
    Names goodLines = menu.itemNames();
    goodLines.insert(goodLines.begin(), "error");
    const std::string goodTime = menu.line("updateTime")->get("time");
    const std::string goodFeelsLike = menu.line("feels_like")->get("condData");

    std::mt19937 random(20);
    std::string noise(2 * 1024 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const std::pair<std::string, FixtureReply> failures[] = {
        {"closed without a byte", FixtureReply::closeEarly()}, {"2 MB of random bytes", FixtureReply::rawBytes(noise)},
        {"a 2 MB body of random bytes", FixtureReply::page(noise)}, {"a page without any of the values", noValues}};
    for (const auto& [what, reply] : failures) {
        SCOPED_TRACE(what);
        menu.takeLog();
        refreshWith(&reply);
        EXPECT_EQ(menu.itemNames(), goodLines);
        EXPECT_EQ(menu.line("error")->get("err"), "3");
        EXPECT_EQ(menu.line("cityName")->get("code"), "16");
        EXPECT_EQ(menu.line("updateTime")->get("time"), goodTime);
        EXPECT_EQ(menu.line("feels_like")->get("condData"), goodFeelsLike);
        const Names log = menu.takeLog();
        EXPECT_TRUE(contains(log, "text [28\u00B0] 12"));
        EXPECT_EQ(weatherIcon(log).substr(0, 11), "weather 16 ");
    }
}

TEST_F(PlimMenuControllerTest, FavoriteReportsFollowTheFavoritesList) {
    setPrefs(advancedPrefs(), favorites({"Austin", "Boston", "Denver"}));
    deliver(report("Zurich"));
    deliver(report("Austin", 0));
    deliver(report("Boston", 1));
    deliver(report("Denver", 2));
    EXPECT_EQ(controller->reportNames(), (Names{"fav-0", "fav-1", "fav-2", "main"}));

    // Boston removed: fav-1 now belongs to Denver and no third favorite is left.
    setPrefs(advancedPrefs(), favorites({"Austin", "Denver"}));
    controller->refresh(false);
    EXPECT_EQ(controller->reportNames(), (Names{"fav-0", "main"}));
    Names names = menu.itemNames();
    EXPECT_EQ(names.back(), "fav-0");
    EXPECT_EQ(std::count(names.begin(), names.end(), "favSep"), 1);

    // A late report of the removed city, with its old slot, is not shown.
    deliver(report("Boston", 1));
    EXPECT_EQ(controller->reportNames(), (Names{"fav-0", "main"}));
    EXPECT_EQ(menu.itemNames().back(), "fav-0");

    // A favorite that is also the primary city is skipped by the walk.
    setPrefs(advancedPrefs(), favorites({"Austin", "Denver", "Zurich"}, "Zurich"));
    deliver(report("Denver", 1));
    EXPECT_EQ(controller->reportNames(), (Names{"fav-0", "fav-1", "main"}));
    EXPECT_EQ(menu.itemNames().back(), "fav-1");
}

TEST_F(PlimMenuControllerTest, FavoriteLinesStopAtTheFirstMissingReport) {
    setPrefs(advancedPrefs(), favorites({"Austin", "Boston", "Denver"}));
    deliver(report("Zurich"));
    deliver(report("Boston", 1));
    EXPECT_EQ(controller->reportNames(), (Names{"fav-1", "main"}));
    Names names = menu.itemNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "favSep"), 0);
    EXPECT_EQ(menu.line("fav-1"), nullptr);

    // A report without favIndex is favorite 0; one outside the six slots is
    // dropped with a note.
    ScrapeReport noIndex = report("Austin", 0);
    noIndex.getInputHashRef().erase("favIndex");
    deliver(noIndex);
    EXPECT_EQ(menu.itemNames().back(), "fav-1");
    CaptureStderr err;
    deliver(report("Denver", 6));
    ScrapeReport negative = report("Denver", 0);
    negative.setInput("favIndex", "-1");
    deliver(negative);
    EXPECT_NE(err.text().find("favIndex=[6]"), std::string::npos);
    EXPECT_EQ(controller->reportNames(), (Names{"fav-0", "fav-1", "main"}));
}

TEST_F(PlimMenuControllerTest, DeletionRemovesOnlyItsOwnLinesAndClosesTheReportGate) {
    // The core's own items sit below the controller's lines.
    menu.addItemAtIndex(0);
    menu.setMenuItem(0, {{"item", plist::Value("quit")}});
    setPrefs(advancedPrefs(), favorites({}));
    std::shared_ptr<WeatherDataSink> gate = controller->reportGate();
    ScrapeReport primary = report("Zurich");
    std::thread([&] { gate->setWeatherData(primary); }).join();
    ASSERT_TRUE(drainMainThreadPosts());
    EXPECT_EQ(menu.itemNames().front(), "cityName");
    EXPECT_EQ(menu.itemNames().back(), "quit");

    controller.reset();
    ASSERT_TRUE(drainMainThreadPosts());
    EXPECT_EQ(menu.itemNames(), Names{"quit"});
    std::thread([&] { gate->setWeatherData(primary); }).join();  // dropped
    ASSERT_TRUE(drainMainThreadPosts());
    EXPECT_EQ(menu.itemNames(), Names{"quit"});
    EXPECT_TRUE(menu.faults.empty());
}

TEST_F(PlimMenuControllerTest, RefreshNowRebuildsOnTheTimerThreadOnceReportsCame) {
    setPrefs(advancedPrefs(), favorites({}));
    controller->refreshNow();  // before the first report: nothing happens by itself
    ASSERT_TRUE(drainMainThreadPosts());
    EXPECT_TRUE(menu.log.empty());

    deliver(report("Zurich"));
    EXPECT_NE(menu.line("humidity"), nullptr);
    StringMap prefs = advancedPrefs();
    prefs["mode"] = "free_mode";
    setPrefs(prefs, favorites({}));
    controller->refreshNow();
    const Names freeMode = {"cityName", "updateTime", "datafrom"};
    EXPECT_TRUE(MainLoop::instance().runUntil(
        [&] { return menu.itemNames() == freeMode && menu.line("datafrom")->filled; }, 10000));
    EXPECT_EQ(menu.itemNames(), freeMode);
}

TEST_F(PlimMenuControllerTest, ReportsFromManyThreadsLeaveAConsistentMenu) {
    setPrefs(advancedPrefs(), favorites({"Austin", "Boston", "Denver"}));
    std::vector<std::thread> threads;
    const Names cities = {"Austin", "Boston", "Denver"};
    for (int round = 0; round < 5; ++round) {
        threads.emplace_back([&] {
            ScrapeReport r = report("Zurich");
            controller->setWeatherData(r);
        });
        for (int i = 0; i < 3; ++i) {
            threads.emplace_back([&, i] {
                ScrapeReport r = report(cities[i], i);
                controller->setWeatherData(r);
            });
        }
        threads.emplace_back([&] {
            LocationManager locations = favorites(cities);
            controller->setPreferences(advancedPrefs(), &locations);
            controller->refreshNow();
            controller->iconRefresh(false);
        });
    }
    for (auto& t : threads) t.join();
    controller->refresh(false);
    // A full rebuild asked for above may still run on the timer thread.
    const Names expected = {"cityName", "updateTime", "radar", "feels_like", "humidity", "sunrise_sunset",
                            "datafrom", "favSep", "fav-0", "fav-1", "fav-2"};
    auto settled = [&] {
        return std::all_of(menu.lines.begin(), menu.lines.end(), [](const auto& l) { return l.filled; }) &&
               menu.itemNames() == expected;
    };
    EXPECT_TRUE(MainLoop::instance().runUntil(settled, 10000));
    EXPECT_EQ(menu.itemNames(), expected);
    EXPECT_TRUE(menu.faults.empty());
    EXPECT_EQ(menu.offMainThread, 0);
}

TEST_F(PlimMenuControllerTest, AttachedFeedServerGetsThePrimaryCity) {
    struct Feed : PlimFeedServer {
        Names* calls;
        explicit Feed(Names* c) : calls(c) {}
        bool startServer() override {
            calls->push_back("start");
            return true;
        }
        void clearData() override { calls->push_back("clear"); }
        void enableAdvance() override { calls->push_back("advance"); }
        void setHash(const std::string& city, const StringMap& table) override {
            calls->push_back(city + " " + getHash(table, "temperature", "?"));
        }
    };
    Names calls;
    controller->attachServer(std::make_unique<Feed>(&calls));
    controller->initMenu();
    setPrefs(advancedPrefs(), favorites({"Austin"}));
    deliver(report("Austin", 0));
    deliver(report("Zurich"));
    EXPECT_EQ(calls, (Names{"start", "clear", "advance", "Zurich 72"}));
}

TEST(PlimMenuControllerInfo, WarningLevelsAndTheCitysMinuteOfDay) {
    std::string type, severity;
    EXPECT_EQ(PlimMenuController::getWarningInfo({{"warn-type", "Flood"}, {"warn-severity", "warning"}}, type, severity), 2);
    EXPECT_EQ(type, "Flood");
    EXPECT_EQ(PlimMenuController::getWarningInfo({{"warn-type", "Flood"}, {"warn-severity", "watch"}}, type, severity), 1);
    EXPECT_EQ(PlimMenuController::getWarningInfo({{"warn-type", "Flood"}, {"warn-severity", "advisory"}}, type, severity), 0);
    EXPECT_EQ(PlimMenuController::getWarningInfo({{"warn-severity", "warning"}}, type, severity), 0);
    EXPECT_EQ(severity, "warning");

    Clock::pin(pinnedNow());
    ScrapeReport r;
    int minute = -1, rise = -1, set = -1;
    PlimMenuController::getTimeInfo(r, minute, rise, set);
    EXPECT_EQ(minute, 14 * 60 + 30);
    EXPECT_EQ(rise, 0);
    EXPECT_EQ(set, 0);
    r.getDisplayHashRef() = {{"gmtOffset", "10"}, {"sunrise_mins", "400"}, {"sunset_mins", "1000"}};
    PlimMenuController::getTimeInfo(r, minute, rise, set);
    EXPECT_EQ(minute, 30);  // 00:30 the next day
    EXPECT_EQ(rise, 400);
    EXPECT_EQ(set, 1000);
    // A half-hour zone keeps its half hour.
    r.getDisplayHashRef() = {{"gmtOffset", "-3.5"}};
    PlimMenuController::getTimeInfo(r, minute, rise, set);
    EXPECT_EQ(minute, 11 * 60);
    Clock::unpin();
}
