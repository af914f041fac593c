// The aggregating scraper over the real site scrapers, built from the shipped
// configurations and fetching through the loopback fixture server as proxy.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "LogCapture.h"
#include "NwsTestSupport.h"
#include "ScraperThreadStubs.h"
#include "scrapers/AggrScraper.h"

using nwstest::key;

namespace {

const char* const kNwsSearchHost = "www.srh.noaa.gov";
const char* const kUgHost = "www.wunderground.com";
const char* const kUsaHost = "www.usatoday.com";
const char* const kAolHost = "weather.aol.com";
const char* const kDesMoinesPage = "http://www.crh.noaa.gov/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX";

Location place(const std::string& name, StringMap keys = {}) {
    Location location;
    location.name = name;
    location.serviceKeys = std::move(keys);
    return location;
}

class AggrScraperSites : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::pin(nwstest::kPinnedNow);
        server_.mapHost(kAolHost, "aol");
        server_.mapHost(kUgHost, "ug");
        server_.mapHost(kUsaHost, "usa");
        aggr_.setHttpProxy("127.0.0.1", server_.port());
    }
    void TearDown() override { Clock::unpin(); }

    void initAll() {
        aggr_.initNwsScraper(shippedConfig("n1"), shippedConfig("n2"), shippedConfig("n3"), shippedConfig("n4"));
        aggr_.initAolScraper(shippedConfig("a1"), shippedConfig("a2"));
        aggr_.initUgScraper(shippedConfig("u1"), shippedConfig("u2"));
        aggr_.initUsaScraper(shippedConfig("t1"), shippedConfig("t2"));
        aggr_.initMsnScraper(shippedConfig("a1"), shippedConfig("a2"));
    }
    void serveDesMoines() {
        server_.routeFile("www.crh.noaa.gov", "/ifps/MapClick.php", "nws/forecast/point_des_moines.html");
        server_.routeFile(NwsScraper::kObservationHost, "/pub/data/observations/metar/decoded/KDSM.TXT",
                          "nws/observations/KDSM.TXT");
    }
    size_t searchesMade() const {
        const std::regex search("zipcity\\.php|getForecast|wsearch\\.aspx|search\\.adp");
        const auto requests = server_.requests();
        return std::count_if(requests.begin(), requests.end(),
                             [&](const FixtureRequest& r) { return std::regex_search(r.path, search); });
    }
    // startScrape into a fresh thread, joined before returning.
    ScraperThread::LocationSpec refresh(Location& location, std::vector<int> order, bool* started = nullptr) {
        ScraperThread thread(ScraperThread::ScrapeType::Location);
        thread.getLocationSpec().menuController = &sink_;
        ScrapeReport report;
        bool ok = aggr_.startScrape(&thread, location, std::move(order), nullptr, report);
        if (started != nullptr) *started = ok;
        thread.join();
        return std::move(thread.getLocationSpec());
    }

    LogCapture log_;
    FixtureServer server_;
    AggrScraper aggr_;
    RecordingSink sink_;
};

}  // namespace

TEST_F(AggrScraperSites, KeysAreFoundBySearchingOnceThenReused) {
    initAll();
    serveDesMoines();
    // The weather service knows the city; Weather Underground's answer is no
    // search result; USA Today finds another city.
    server_.route(kNwsSearchHost, "/zipcity.php", FixtureReply::redirect(kDesMoinesPage));
    server_.route(kUgHost, "/cgi-bin/findweather/getForecast",
                  FixtureReply::redirect("http://www.wunderground.com/US/NY/New_York.html"));
    server_.route(kUsaHost, "/weather/forecast/wsearch.aspx",
                  FixtureReply::redirect("http://www.usatoday.com/weather/forecast/wcurrent.aspx?LocationID=USNY0996"));

    Location desMoines = place("Des Moines, IA, United States");
    bool started = false;
    ScraperThread::LocationSpec spec = refresh(desMoines, {1, 5, 6}, &started);
    EXPECT_TRUE(started);

    EXPECT_EQ(desMoines.name, "Des Moines, IA");
    const std::string nwsKey = key({"ifps", "crh", "Des+Moines", "IA", "DMX"});
    EXPECT_EQ(desMoines.serviceKeys,
              (StringMap{{"nws", nwsKey}, {"ug", AggrScraper::KeyNotInDb}, {"usa", AggrScraper::KeyNotInDb}}));
    EXPECT_EQ(spec.primaryScraper, aggr_.scraperFor("nws"));
    EXPECT_EQ(spec.primaryKey, nwsKey);
    EXPECT_EQ(spec.backupScraper, nullptr);
    EXPECT_NE(log_.output().find("City found (New York Central Park, NY) doesn't match city we're looking for "
                                 "(Des Moines, IA)\n"),
              std::string::npos);
    EXPECT_EQ(searchesMade(), 3u);

    auto reports = sink_.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].getStatus(), SuperScraper::Success);
    EXPECT_EQ(reports[0].getInputHashRef()["cityName"], "Des Moines, IA");
    EXPECT_EQ(reports[0].getOutputHashRef()["temperature"], "30");
    EXPECT_EQ(reports[0].getDisplayHashRef()["credit"], "National Weather Service");

    // The next refresh searches no source again.
    server_.clearRequests();
    spec = refresh(desMoines, {1, 5, 6});
    EXPECT_EQ(searchesMade(), 0u);
    EXPECT_EQ(spec.primaryKey, nwsKey);
    EXPECT_EQ(sink_.reports().size(), 2u);
    EXPECT_EQ(server_.lastRequest().proxyForm, true);
}

TEST_F(AggrScraperSites, UnreachablePrimaryFallsBackToTheBackupSite) {
    initAll();
    // Weather Underground's page cannot be had; USA Today's can.
    server_.route(kUgHost, "/US/CO/Denver.html", FixtureReply::page("<html>Service Unavailable</html>", 503));
    Location denver = place("Denver, CO", {{"ug", key({"US", "CO", "Denver"})}, {"usa", "USCA0987"}});

    ScraperThread::LocationSpec spec = refresh(denver, {5, 6});
    EXPECT_EQ(spec.primaryScraper, aggr_.scraperFor("ug"));
    EXPECT_EQ(spec.backupScraper, aggr_.scraperFor("usa"));
    EXPECT_NE(log_.output().find("Skyvane: using backup location! status=[3] score=[0]\n"), std::string::npos);
    EXPECT_EQ(searchesMade(), 0u);

    auto reports = sink_.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].getStatus(), SuperScraper::Success);
    EXPECT_EQ(reports[0].getInputHashRef()["cityName"], "Denver, CO");
    EXPECT_EQ(reports[0].getDisplayHashRef()["credit"], "Weather from USA TODAY");
    EXPECT_EQ(reports[0].score(), 0);
}

TEST_F(AggrScraperSites, SearchMergesTheSitesAnswersByName) {
    initAll();
    server_.routeFile(kNwsSearchHost, "/zipcity.php?inputstring=Springfield", "nws/search/results_springfield.html");
    server_.routeFile("www.wrh.noaa.gov", "/ifps/citysearch.php", "nws/search/latlon_springfield_or.html");

    std::vector<Location> found;
    EXPECT_EQ(aggr_.search("Springfield", found), 0);
    std::vector<std::string> names;
    for (const Location& location : found) names.push_back(location.name);
    ASSERT_EQ(names, (std::vector<std::string>{"Springfield, Australia", "Springfield, IL", "Springfield, MA",
                                               "Springfield, MO", "Springfield, OR", "West Springfield, MA"}));
    EXPECT_EQ(found[1].serviceKeys, (StringMap{{"nws", key({"ifps", "crh", "Springfield", "IL", "ILX"})},
                                               {"ug", key({"US", "IL", "Springfield"})}}));
    EXPECT_EQ(found[2].serviceKeys,
              (StringMap{{"nws", key({"MAZ011", "MAC013", "Springfield"})}, {"ug", key({"US", "MA", "Springfield"})}}));
    EXPECT_EQ(found[0].serviceKeys, (StringMap{{"ug", key({"global", "stations", "94868"})}}));
    EXPECT_EQ(searchesMade(), 4u);  // the AOL source was asked too
}

TEST_F(AggrScraperSites, AnAolKeyComesOnlyWithTheStoredLocation) {
    aggr_.initAolScraper(shippedConfig("a1"), shippedConfig("a2"));
    // A stored key is used as it is.
    Location phoenix = place("Phoenix, AZ", {{"aol", "USAZ0166"}});
    refresh(phoenix, {3});
    ASSERT_EQ(sink_.reports().size(), 1u);
    EXPECT_EQ(sink_.reports()[0].getStatus(), SuperScraper::Success);
    EXPECT_EQ(server_.lastRequest().target, "http://weather.aol.com/main.adp?location=USAZ0166");

    // A city without one gets no AOL key from searching: the search page is
    // read and scored, and names no city.
    server_.routeFile(kAolHost, "/search.adp", "aol/search.adp?query=Springfield");
    Location boston = place("Boston, MA");
    refresh(boston, {3});
    EXPECT_EQ(boston.serviceKeys["aol"], AggrScraper::KeyNotInDb);
    ASSERT_EQ(sink_.reports().size(), 2u);
    EXPECT_EQ(sink_.reports()[1].getStatus(), SuperScraper::NoScraper);
}
