#include "scrapers/AolScraper.h"

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"

namespace {

class AolScraperTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.mapHost("weather.aol.com", "aol");
        scraper_.setHttpProxy("127.0.0.1", server_.port());
    }

    // Scrapes a location page and returns its output table.
    StringMap scrape(const std::string& key, ScrapeReport& report) {
        EXPECT_EQ(scraper_.scrape(key, report), SuperScraper::Success) << key;
        return report.getOutputHashRef();
    }

    LogCapture log_;
    FixtureServer server_;
    AolScraper scraper_{shippedConfig("a1"), shippedConfig("a2")};
};

}  // namespace

TEST_F(AolScraperTest, ScrapeReadsThePageAndAddsTheDewPoint) {
    ScrapeReport report;
    report.setInput("in_tokens", "name");  // replaced: every chunk is scored
    const StringMap out = scrape("USIL0225", report);

    EXPECT_EQ(server_.lastRequest().target, "http://weather.aol.com/main.adp?location=USIL0225");
    EXPECT_EQ(report.getInputHashRef().at("in_tokens"), "");
    EXPECT_EQ(out.at("name"), "Springfield, Illinois, United States");
    EXPECT_EQ(out.at("temperature"), "68");
    EXPECT_EQ(out.at("humidity"), "50%");
    EXPECT_EQ(out.at("dewpoint"), "48");
    EXPECT_EQ(out.at("weatherCode"), "30");
    EXPECT_EQ(out.at("wind"), "NW 12 mph");
    EXPECT_EQ(out.at("barometer"), "30.12");
    EXPECT_EQ(out.at("visibility"), "10");
    EXPECT_EQ(out.at("time"), "4:53 pm CST");
    EXPECT_EQ(out.at("gmtOffset"), "-6");
    const char* days[] = {"Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    const char* codes[] = {"32", "30", "39", "28", "32"};
    const char* highs[] = {"75", "77", "71", "69", "73"};
    const char* lows[] = {"58", "60", "55", "52", "54"};
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("day", n)), days[n - 1]);
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("code", n)), codes[n - 1]);
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("high", n)), highs[n - 1]);
        EXPECT_EQ(out.at(FlexiScraper::composeNumberedKey("low", n)), lows[n - 1]);
    }
    EXPECT_EQ(out.count("day-6"), 0u);

    // The second post-processing put the added values on display and scored
    // the whole report: temperature, code and four forecast codes.
    const StringMap& display = report.getDisplayHashRef();
    EXPECT_EQ(display.at("dewpoint"), "48");
    EXPECT_EQ(display.at("humidity"), "50%");
    EXPECT_EQ(display.at("credit"), "Weather data from AOL");
    EXPECT_EQ(display.at("url"), "http://weather.aol.com/main.adp?location=USIL0225");
    EXPECT_EQ(report.score(), 100);
}

TEST_F(AolScraperTest, DewPointOfEachHumidityShape) {
    ScrapeReport cold;
    StringMap out = scrape("USMN0503", cold);
    EXPECT_EQ(out.at("humidity"), "30%");
    EXPECT_EQ(out.at("dewpoint"), "-15");  // -15.17 truncated toward zero

    ScrapeReport dry;
    out = scrape("USAZ0166", dry);
    EXPECT_EQ(out.at("humidity"), "1%");
    EXPECT_EQ(out.at("dewpoint"), "Unavailable");

    // A page that prints the percent sign itself keeps a single one.
    ScrapeReport wet;
    out = scrape("USWA0395", wet);
    EXPECT_EQ(out.at("humidity"), "88%");
    EXPECT_EQ(out.at("dewpoint"), "50");

    // "N/A" is no humidity: neither humidity nor dew point.
    ScrapeReport unreadable;
    out = scrape("USNM0004", unreadable);
    EXPECT_EQ(out.count("humidity"), 0u);
    EXPECT_EQ(out.count("dewpoint"), 0u);

    // No humidity row: neither humidity nor dew point.
    ScrapeReport none;
    out = scrape("USCO0105", none);
    EXPECT_EQ(out.at("temperature"), "61");
    EXPECT_EQ(out.count("humidity"), 0u);
    EXPECT_EQ(out.count("dewpoint"), 0u);
}

TEST_F(AolScraperTest, DewPointNeedsPlausibleInputs) {
    EXPECT_EQ(AolScraper::dewPoint("68", "50%"), "48");
    EXPECT_EQ(AolScraper::dewPoint("68", "2"), AolScraper::dewPoint("68", "2%"));
    EXPECT_NE(AolScraper::dewPoint("68", "2"), "Unavailable");
    EXPECT_NE(AolScraper::dewPoint("68", "100"), "Unavailable");
    for (const char* humidity : {"0", "1", "", "-20", "101", "1e9"}) {
        EXPECT_EQ(AolScraper::dewPoint("68", humidity), "Unavailable") << humidity;
    }
    // 4294967338 is 42 once cut to 32 bits: it must not pass for 42.
    for (const char* temperature : {"", "n/a", "-36", "126", "99999", "4294967338", "-4294967254"}) {
        EXPECT_EQ(AolScraper::dewPoint(temperature, "50"), "Unavailable") << temperature;
    }
}

TEST_F(AolScraperTest, SearchReadsThePageButOffersNoCity) {
    std::vector<SuperScraper::City> cities{{"KEEP0001", "Kept"}};
    EXPECT_EQ(scraper_.search("Springfield", cities), SuperScraper::EmptyKey);
    EXPECT_EQ(server_.lastRequest().target, "http://weather.aol.com/search.adp?query=Springfield");
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].key, "KEEP0001");

    server_.route("weather.aol.com", "/search.adp?query=New+York",
                  FixtureReply::page("<html><body><p>No locations match.</p></body></html>"));
    EXPECT_EQ(scraper_.search("New York", cities), SuperScraper::EmptyKey);
    EXPECT_EQ(server_.lastRequest().target, "http://weather.aol.com/search.adp?query=New+York");

    FastHttp fast;
    RefusedPort refused;
    scraper_.setHttpProxy("127.0.0.1", refused.port());
    EXPECT_EQ(scraper_.search("Springfield", cities), SuperScraper::FetchFailed);
    ScrapeReport report;
    EXPECT_EQ(scraper_.scrape("USIL0225", report), SuperScraper::FetchFailed);
    EXPECT_TRUE(report.getOutputHashRef().empty());

    AolScraper hostless("uri=/search.adp?query=<uri_key>\n", "uri=/main.adp?location=<uri_key>\n");
    EXPECT_EQ(hostless.search("Springfield", cities), SuperScraper::NoHostOrUri);
    EXPECT_EQ(hostless.scrape("USIL0225", report), SuperScraper::NoHostOrUri);
    EXPECT_EQ(cities.size(), 1u);
}

TEST_F(AolScraperTest, CitiesOfASearchPage) {
    std::string header;
    std::string page;
    StringMap fetched;
    ASSERT_EQ(scraper_.fetchURL(header, page, scraper_.searchConfig(), "Springfield", fetched, false),
              SuperScraper::Success);
    StringMap input;
    StringMap found;
    scraper_.scoreData(page, scraper_.searchConfig(), input, found);

    std::vector<SuperScraper::City> cities;
    scraper_.getCities(found, cities);
    // A link with only three letters before the digits (USM0308) gives no city.
    ASSERT_EQ(cities.size(), 3u);
    EXPECT_EQ(cities[0].key, "USIL0225");
    EXPECT_EQ(cities[0].name, "Springfield, IL, United States");
    EXPECT_EQ(cities[1].key, "USMA0406");
    EXPECT_EQ(cities[1].name, "Springfield, MA, United States");
    EXPECT_EQ(cities[2].key, "ASXX0112");
    EXPECT_EQ(cities[2].name, "Springfield, Australia");  // two pieces stay as they are
    EXPECT_EQ(LogCapture::count(log_.output(), "name pair=[Springfield]\n"), 3u);

    // A link with "&amp;" between its arguments; a name with a reference.
    found.clear();
    scraper_.scoreData("<body><ul><li class=\"res\"><a href=\"/main.adp?type=city&amp;location=USMO0657\">O&#39;"
                       "Fallon, Missouri, United States</a></li></ul>", scraper_.searchConfig(), input, found);
    cities.clear();
    scraper_.getCities(found, cities);
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].key + " " + cities[0].name, "USMO0657 O'Fallon, MO, United States");
}

TEST_F(AolScraperTest, InsertCityReadsAMissingNameFromTheKeysPage) {
    std::vector<SuperScraper::City> cities;
    EXPECT_TRUE(scraper_.insertCity("/main.adp?location=USIL0225", "", cities));
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].key, "USIL0225");
    EXPECT_EQ(cities[0].name, "Springfield, IL, United States");
    EXPECT_EQ(server_.lastRequest().target, "http://weather.aol.com/main.adp?location=USIL0225");

    // A key whose page gives no name, or cannot be fetched, adds nothing.
    server_.route("weather.aol.com", "/main.adp?location=USXX0001",
                  FixtureReply::page("<html><body><p>Location not found.</p></body></html>"));
    EXPECT_FALSE(scraper_.insertCity("/main.adp?location=USXX0001", "", cities));
    {
        FastHttp fast;
        server_.route("weather.aol.com", "/main.adp?location=USXX0002", FixtureReply::stall());
        EXPECT_FALSE(scraper_.insertCity("/main.adp?location=USXX0002", "", cities));
    }
    EXPECT_FALSE(scraper_.insertCity("/main.adp?location=usil0225", "Springfield", cities));
    EXPECT_TRUE(scraper_.insertCity("x?location=USNY0996&y=1", "New York, New York", cities));
    EXPECT_EQ(cities.back().name, "New York, New York");
    EXPECT_EQ(cities.size(), 2u);
}
