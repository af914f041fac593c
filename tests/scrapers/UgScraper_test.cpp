#include "scrapers/UgScraper.h"

#include <gtest/gtest.h>

#include "util/regex.h"

#include "LogCapture.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"

namespace {

std::string key(const std::vector<std::string>& parts) {
    std::string joined;
    SuperScraper::joinKey(parts, joined);
    return joined;
}

class UgScraperTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.mapHost("www.wunderground.com", "ug");
        scraper_.setHttpProxy("127.0.0.1", server_.port());
    }

    StringMap scrape(const std::vector<std::string>& parts, ScrapeReport& report) {
        EXPECT_EQ(scraper_.scrape(key(parts), report), SuperScraper::Success);
        return report.getOutputHashRef();
    }

    // One forecast day of the final list.
    static void expectDay(const StringMap& out, int n, const char* day, const char* code, const char* high,
                          const char* low) {
        SCOPED_TRACE(n);
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("day", n)), day);
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("code", n)), code);
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("high", n)), high);
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("low", n)), low);
    }

    LogCapture log_;
    FixtureServer server_;
    UgScraper scraper_{shippedConfig("u1"), shippedConfig("u2")};
};

}  // namespace

TEST_F(UgScraperTest, ScrapeOfACityPage) {
    ScrapeReport report;
    const StringMap out = scrape({"US", "CO", "Denver"}, report);

    EXPECT_EQ(server_.lastRequest().target, "http://www.wunderground.com/US/CO/Denver.html");
    EXPECT_EQ(report.getInputHashRef().at("in_tokens"), UgScraper::kFullTokens);
    EXPECT_EQ(out.at("name"), "Denver, CO");
    EXPECT_EQ(out.at("temperature"), "72");
    EXPECT_EQ(out.at("humidity"), "25");
    EXPECT_EQ(out.at("dewpoint"), "34");
    EXPECT_EQ(out.at("wind"), "NW 12 MPH");
    EXPECT_EQ(out.at("barometer"), "30.01\"");
    EXPECT_EQ(out.at("condition-word"), "Clear");
    EXPECT_EQ(out.at("weatherCode"), "32");  // 10:58 AM is day
    EXPECT_EQ(out.at("time"), "October 5, 10:53 AM MDT");
    EXPECT_EQ(out.at("zoneString"), "MDT");
    EXPECT_EQ(out.at("gmtOffset"), "-6");
    EXPECT_EQ(out.at("sunrise"), "7:02 AM");
    EXPECT_EQ(out.at("sunset"), "6:34 PM");

    // Highs and lows come from the forecast text; night halves give the lows.
    expectDay(out, 1, "Today", "32", "77", "");
    expectDay(out, 2, "Tonight", "31", "", "43");
    expectDay(out, 3, "Wednesday", "30", "75", "45");
    expectDay(out, 4, "Thursday", "38", "73", "45");
    expectDay(out, 5, "Friday", "28", "65", "40");
    EXPECT_EQ(out.at("day-6"), "");

    // Cut away: the visibility of the header's other city, the station
    // table (75, Light Rain) and the precipitation chart (Sunday, Monday).
    EXPECT_EQ(out.at("visibility"), " mi");  // the unit alone: the page gave no value
    for (const auto& [k, v] : out) {
        EXPECT_NE(v, "Sunday") << k;
        EXPECT_NE(v, "Light Rain") << k;
    }

    EXPECT_EQ(report.getDisplayHashRef().at("credit"), "Weather from Weather Underground");
    EXPECT_EQ(report.score(), 100);
}

TEST_F(UgScraperTest, DayAndNightAtTheSunsetMinute) {
    // Current time 8:15 PM, sunset 8:15 PM: not yet after sunset, still day.
    ScrapeReport atSunset;
    StringMap out = scrape({"US", "KS", "Wichita"}, atSunset);
    EXPECT_EQ(out.at("curtime"), "8:15 PM");
    EXPECT_EQ(out.at("sunset"), "8:15 PM");
    EXPECT_EQ(out.at("weatherCode"), "32");
    EXPECT_EQ(out.at("wind"), "South 14 MPH");
    EXPECT_EQ(out.at("temperature"), "100.4");  // five characters are kept
    EXPECT_EQ(out.at("visibility"), "10.0 mi");
    // A forecast that starts in the evening.
    expectDay(out, 1, "Tonight", "31", "", "67");
    expectDay(out, 2, "Wednesday", "32", "100", "72");
    expectDay(out, 3, "Thursday", "32", "97", "73");

    // One minute later it is night; calm wind; a six-character reading.
    ScrapeReport after;
    out = scrape({"US", "KS", "Topeka"}, after);
    EXPECT_EQ(out.at("curtime"), "8:16 PM");
    EXPECT_EQ(out.at("weatherCode"), "31");
    EXPECT_EQ(out.at("wind"), "Calm");
    EXPECT_EQ(out.at("temperature"), "??");
    EXPECT_EQ(after.getDisplayHashRef().at("temperature"), "n/a");
}

TEST_F(UgScraperTest, CanadianForecastInFahrenheit) {
    ScrapeReport report;
    const StringMap out = scrape({"ZZ", "ON", "Toronto_Pearson"}, report);
    EXPECT_EQ(out.at("name"), "Toronto, Canada");
    EXPECT_EQ(out.at("temperature"), "68");
    EXPECT_EQ(out.at("gmtOffset"), "-4");
    expectDay(out, 1, "Today", "32", "68", "");    // High 20
    expectDay(out, 2, "Tonight", "31", "", "23");  // Low minus 5
    expectDay(out, 3, "Wednesday", "30", "64", "35");
    expectDay(out, 4, "Thursday", "12", "59", "37");
    expectDay(out, 5, "Friday", "26", "53", "");
    expectDay(out, 6, "", "", "", "");
    // Periods 0 to 7 are converted (period 7 too); an absent one is written empty, none after them.
    EXPECT_EQ(out.at("high-7"), "53");
    EXPECT_EQ(out.at("low-0"), "");
    EXPECT_EQ(out.count("high-8"), 0u);
}

TEST_F(UgScraperTest, AustralianZonesAndRegions) {
    ScrapeReport report;
    const StringMap out = scrape({"global", "stations", "94672"}, report);
    EXPECT_EQ(out.at("name"), "Adelaide, Australia");
    EXPECT_EQ(out.at("time"), "June 8, 10:53 AM ACST");
    EXPECT_EQ(out.at("zoneString"), "ACST");
    EXPECT_EQ(out.at("gmtOffset"), "9.5");  // the half hour is kept
    expectDay(out, 1, "Tuesday", "30", "16", "7");
    expectDay(out, 2, "Wednesday", "12", "14", "8");

    StringMap sydney{{"time", "10:53 AM EST Tuesday October 5, 2004"}, {"name", "Sydney, Australia"}};
    scraper_.calculateTime(sydney);
    EXPECT_EQ(sydney.at("time"), "October 5, 10:53 AM AEST");
    EXPECT_EQ(sydney.at("gmtOffset"), "10");

    StringMap unreadable{{"time", "10:53 AM EST October 5"}, {"gmtOffset", "3"}};
    scraper_.calculateTime(unreadable);
    EXPECT_EQ(unreadable.at("time"), "");
    EXPECT_EQ(unreadable.at("gmtOffset"), "3");  // the base calculation did not run
}

TEST_F(UgScraperTest, FavoriteScrapeScoresTheShortList) {
    ScrapeReport report;
    report.setInput("isFavorite", "1");
    report.setInput("in_tokens", "temperature");
    const StringMap out = scrape({"US", "CO", "Denver"}, report);
    EXPECT_EQ(report.getInputHashRef().at("in_tokens"), UgScraper::kFavoriteTokens);
    EXPECT_EQ(out.at("temperature"), "72");
    EXPECT_EQ(out.at("weatherCode"), "32");
    EXPECT_EQ(out.count("humidity"), 0u);
    EXPECT_EQ(out.count("forecast-info-1"), 0u);
    EXPECT_EQ(out.at("wind"), "Calm");  // the wind was not asked for
    EXPECT_EQ(report.score(), 100);
}

TEST_F(UgScraperTest, SearchResultsPage) {
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper_.search("Springfield", cities), SuperScraper::Success);
    EXPECT_EQ(server_.lastRequest().target,
              "http://www.wunderground.com/cgi-bin/findweather/getForecast?query=Springfield");
    // The link without a key is skipped, and so is the repeated Illinois.
    ASSERT_EQ(cities.size(), 3u);
    EXPECT_EQ(cities[0].key, key({"US", "IL", "Springfield"}));
    EXPECT_EQ(cities[0].name, "Springfield, IL");
    EXPECT_EQ(cities[1].key, key({"US", "MA", "Springfield"}));
    EXPECT_EQ(cities[1].name, "Springfield, MA");
    EXPECT_EQ(cities[2].key, key({"global", "stations", "94868"}));
    EXPECT_EQ(cities[2].name, "Springfield, Australia");

    // Cities already in the list are not added again.
    EXPECT_EQ(scraper_.search("Springfield", cities), SuperScraper::Success);
    EXPECT_EQ(cities.size(), 3u);

    // A link with "&amp;" between its arguments; a name with a reference.
    server_.route("www.wunderground.com", "/cgi-bin/findweather/getForecast?query=O+Fallon",
                  FixtureReply::page("<title>Search</title><body><table><tr><td class=\"sres\"><a href=\"/US/MO/"
                                     "O_Fallon.html?MR=1&amp;x=2\">O&#39;Fallon, Missouri</a></td></tr></table>"));
    cities.clear();
    EXPECT_EQ(scraper_.search("O Fallon", cities), SuperScraper::Success);
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].key + " " + cities[0].name, key({"US", "MO", "O_Fallon"}) + " O'Fallon, MO");
}

TEST_F(UgScraperTest, SearchAnsweredWithOneCityOrARedirect) {
    server_.routeFile("www.wunderground.com", "/cgi-bin/findweather/getForecast?query=Toronto",
                      "ug/ZZ/ON/Toronto_Pearson.html");
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper_.search("Toronto", cities), SuperScraper::Success);
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].key, key({"ZZ", "ON", "Toronto_Pearson"}));
    EXPECT_EQ(cities[0].name, "Toronto, Canada");

    server_.route("www.wunderground.com", "/cgi-bin/findweather/getForecast?query=New+York",
                  FixtureReply::redirect("http://www.wunderground.com/US/NY/New_York.html"));
    cities.clear();
    EXPECT_EQ(scraper_.search("New York", cities), SuperScraper::Success);
    EXPECT_TRUE(cities.empty());
    EXPECT_EQ(server_.requestCount(), 2u);  // the redirect was not followed
}

TEST_F(UgScraperTest, SearchNeverTakesItsOwnAddressForACity) {
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper_.search("Xyzzy", cities), SuperScraper::Success);
    EXPECT_TRUE(cities.empty());

    // Even a search configuration that reads text as names on a page without
    // result links yields no city: the fetched address
    // (.../cgi-bin/findweather/getForecast...) is not a result.
    std::string loose = shippedConfig("u1");
    const size_t floor = loose.find("name-minscore=");
    loose.replace(floor, loose.find('\n', floor) - floor, "#");
    UgScraper scraper(loose, shippedConfig("u2"));
    scraper.setHttpProxy("127.0.0.1", server_.port());
    EXPECT_EQ(scraper.search("Xyzzy", cities), SuperScraper::Success);
    EXPECT_TRUE(cities.empty());

    FastHttp fast;
    RefusedPort refused;
    scraper.setHttpProxy("127.0.0.1", refused.port());
    EXPECT_EQ(scraper.search("Springfield", cities), SuperScraper::FetchFailed);
    ScrapeReport report;
    EXPECT_EQ(scraper.scrape(key({"US", "CO", "Denver"}), report), SuperScraper::FetchFailed);
    EXPECT_TRUE(report.getOutputHashRef().empty());
}

TEST_F(UgScraperTest, KeysAndNames) {
    std::string k = "unchanged";
    EXPECT_TRUE(scraper_.urlToKey("/US/CO/Denver.html", k));
    EXPECT_EQ(k, key({"US", "CO", "Denver"}));
    EXPECT_TRUE(scraper_.urlToKey("/global/stations/71624.html", k));
    EXPECT_EQ(k, key({"global", "stations", "71624"}));
    k = "unchanged";
    EXPECT_FALSE(scraper_.urlToKey("/zmw/Springfield.html", k));
    EXPECT_FALSE(scraper_.urlToKey("", k));
    EXPECT_EQ(k, "unchanged");

    EXPECT_EQ(scraper_.cleanCityName("Denver, Colorado"), "Denver, CO");
    EXPECT_EQ(scraper_.cleanCityName("Toronto, Ontario"), "Toronto, Canada");
    EXPECT_EQ(scraper_.cleanCityName("Perth, Western Australia"), "Perth, Australia");
    EXPECT_EQ(scraper_.cleanCityName("Paris, France"), "Paris, France");
    EXPECT_EQ(scraper_.cleanCityName("Portland, Maine, US"), "Portland, ME, US");
    EXPECT_EQ(scraper_.cleanCityName("Denver"), "Denver");
    EXPECT_EQ(scraper_.cleanCityName(""), "");

    std::vector<SuperScraper::City> cities;
    EXPECT_TRUE(scraper_.insertCity("/ZZ/ON/Toronto_Pearson.html", "Toronto, Ontario", cities));
    EXPECT_FALSE(scraper_.insertCity("/ZZ/ON/Toronto_Pearson.html", "Toronto", cities));
    EXPECT_FALSE(scraper_.insertCity("/Toronto.html", "Toronto", cities));
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].name, "Toronto, Canada");
}

TEST_F(UgScraperTest, SearchPagesAreKnownByTheirTitleAsThePatternKnowsThem) {
    const std::string cases[] = {"<title>City Search</title>", "<title>Search</title>", "<title>Searc</title>",
                                 "<title>x</title> Search </title>", "Search<title></title>", "<title></title>Search",
                                 "<title>Search</title", "<title>\nSearch\n</title>",
                                 std::string("<title>\0Search</title>", 22), "<title>Search<title></title>",
                                 "<title>Search</title>" + std::string(1 << 16, 'x'), std::string(20000, '<') + "title>"};
    const int noSubMatch = RegexFlags::Extended | RegexFlags::NoSubMatch;
    for (const std::string& page : cases) {
        EXPECT_EQ(UgScraper::isSearchPage(page), regex::match("[<]title[>].*Search.*[<][/]title[>]", page, noSubMatch))
            << page.substr(0, 40);
    }
    // Many titles without a search used to be scanned to the end from each.
    std::string titles;
    while (titles.size() < (1 << 20)) titles += "<title>x";
    EXPECT_FALSE(UgScraper::isSearchPage(titles));
}

TEST_F(UgScraperTest, PageTrimAndCompaction) {
    std::string page = "head 1 Add a Scrolling Gizmo to your Windows Desktop body <b>Personal Weather Stations</b> "
                       "pws Probability of Precipitation pop";
    UgScraper::trimPage(page);
    EXPECT_EQ(page, "Add a Scrolling Gizmo to your Windows Desktop body ");

    page = "a   b\n\n\nc \n d\t\t e";
    page += std::string(1, '\0') + "  tail";
    UgScraper::compactPage(page);
    EXPECT_EQ(page, "a b\nc d\t\t e");

    // The stations' heading as a page with a line break after every tag has it;
    // the same words outside a bold heading cut nothing.
    page = "Personal Weather Stations <b>\n Personal Weather Stations\n</b>\npws";
    UgScraper::trimPage(page);
    EXPECT_EQ(page, "Personal Weather Stations ");

    page = "no markers";
    UgScraper::trimPage(page);
    EXPECT_EQ(page, "no markers");
}
