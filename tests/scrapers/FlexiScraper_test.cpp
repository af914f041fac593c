#include "scrapers/FlexiScraper.h"

#include <gtest/gtest.h>

#include "model/WeatherUtil.h"
#include "support/CaptureStream.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"
#include "support/TempDir.h"
#include "util/Clock.h"

namespace {

std::string key(std::initializer_list<std::string> parts) {
    std::string k;
    SuperScraper::joinKey(parts, k);
    return k;
}

class FlexiScraperTest : public ::testing::Test {
protected:
    FlexiScraperTest()
        : scraper(fixtureText("flexi/search.conf"), fixtureText("flexi/weather.conf")) {
        server.mapHost("weather.example.com", "flexi");
        scraper.setHttpProxy("127.0.0.1", server.port());
        setenv("HOME", home.path().c_str(), 1);
        // 2026-12-08 22:53 UTC = 16:53 CST, after sunset in Springfield.
        Clock::pin(1796770380);
    }
    ~FlexiScraperTest() override { Clock::unpin(); }

    FastHttp fast;
    FixtureServer server;
    TempDir home;
    FlexiScraper scraper;
};

}  // namespace

TEST_F(FlexiScraperTest, ScrapesTheFixtureSiteEndToEnd) {
    ScrapeReport report;
    report.setInput("cityName", "Springfield, IL");
    ASSERT_EQ(scraper.scrape(key({"springfield", "KSPI"}), report), SuperScraper::Success);

    // The page was asked for through the proxy with the key filled in.
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.lastRequest().target, "http://weather.example.com/current/springfield.html?station=KSPI");
    StringMap& display = report.getDisplayHashRef();
    EXPECT_EQ(display["url"], "http://weather.example.com/current/springfield.html?station=KSPI");
    EXPECT_EQ(display["fetch-host"], "weather.example.com");
    EXPECT_EQ(display["credit"], "Example Weather Service");

    StringMap& out = report.getOutputHashRef();
    EXPECT_EQ(out["name"], "Springfield, IL");
    EXPECT_EQ(out["time"], "4:53 PM CST");
    EXPECT_EQ(out["temperature"], "28");
    EXPECT_EQ(out["humidity"], "64");
    EXPECT_EQ(out["wind"], "NW 15 mph");
    EXPECT_EQ(out["weatherCode"], "16");
    EXPECT_EQ(out["latitude"], "39.84");
    EXPECT_EQ(out["longitude"], "-89.68");
    // Commented-out and script text is never scored.
    EXPECT_NE(out["temperature"], "12");
    EXPECT_NE(out["temperature"], "99");

    // Post-processing: zone, feels-like, display table and score.
    EXPECT_EQ(out["zoneString"], "CST");
    EXPECT_EQ(out["gmtOffset"], "-6");
    int chill = 0;
    weatherUtil::calculateWindChill(28, 15, chill);
    EXPECT_EQ(out["feels_like"], std::to_string(chill));
    EXPECT_LT(std::stoi(out["feels_like"]), 28);
    EXPECT_EQ(out["radar"], "0");  // no radar asked for
    EXPECT_EQ(display["temperature"], "28");
    EXPECT_EQ(display["wind_dir"], "NW");
    EXPECT_EQ(display["wind_speed"], "15");
    // Current conditions alone: temperature and weather code.
    EXPECT_EQ(report.score(), 50);
}

TEST_F(FlexiScraperTest, ForecastPeriodsBecomeAFinalList) {
    ScrapeReport report;
    ASSERT_EQ(scraper.scrape(key({"springfield", "KSPI"}), report), SuperScraper::Success);
    StringMap& out = report.getOutputHashRef();
    EXPECT_EQ(out["day-1"], "Tonight");
    EXPECT_EQ(out["day-6"], "Friday");
    EXPECT_EQ(out["icon-1"], "16");
    // As the site scrapers do: the forecast list, then the report again.
    scraper.parseTextForecast(out);
    report.postProcess();
    EXPECT_EQ(report.score(), 100);
    EXPECT_EQ(out["day-1"], "Tonight");
    EXPECT_EQ(out["code-1"], "16");  // snow has no night form
    EXPECT_EQ(out["low-1"], "23");  // lower 20s
    EXPECT_EQ(out["day-2"], "Wednesday");
    EXPECT_EQ(out["high-2"], "35");  // mid 30s
    EXPECT_EQ(out["low-2"], "-2");   // from Wednesday Night: 5 below zero
    EXPECT_EQ(out["day-3"], "Thursday");
    EXPECT_EQ(out["high-3"], "40");
    EXPECT_EQ(out["low-3"], "25");
    EXPECT_EQ(out["day-4"], "Friday");
    EXPECT_EQ(out["high-4"], "47");  // upper 40s
    EXPECT_EQ(out["day-5"], "");
}

TEST_F(FlexiScraperTest, WantedTokensSelectChunks) {
    ScrapeReport report;
    report.setInput("in_tokens", "time,temperature");
    ASSERT_EQ(scraper.scrape(key({"springfield", "KSPI"}), report), SuperScraper::Success);
    const StringMap& out = report.getOutputHashRef();
    EXPECT_EQ(out.at("temperature"), "28");
    EXPECT_EQ(out.at("time"), "4:53 PM CST");
    EXPECT_EQ(out.count("humidity"), 0u);
    EXPECT_EQ(out.count("day-1"), 0u);
}

TEST_F(FlexiScraperTest, FetchFailuresScoreNothing) {
    {
        // An error page is no weather page.
        ScrapeReport report;
        CaptureStdout log;
        EXPECT_EQ(scraper.scrape(key({"nowhere", "XXXX"}), report), SuperScraper::FetchFailed);
        EXPECT_NE(log.text().find("Failed to access url[http://weather.example.com/current/nowhere.html"),
                  std::string::npos);
        EXPECT_TRUE(report.getOutputHashRef().empty());
        EXPECT_EQ(report.score(), 0);
    }
    {
        // A dead proxy.
        RefusedPort refused;
        scraper.setHttpProxy("127.0.0.1", refused.port());
        ScrapeReport report;
        CaptureStdout log;
        EXPECT_EQ(scraper.scrape(key({"springfield", "KSPI"}), report), SuperScraper::FetchFailed);
        EXPECT_TRUE(report.getOutputHashRef().empty());
    }
    {
        // A configuration without a path asks nothing of the network.
        FlexiScraper noUri("", "host=weather.example.com\n");
        noUri.setHttpProxy("127.0.0.1", server.port());
        ScrapeReport report;
        size_t before = server.requestCount();
        EXPECT_EQ(noUri.scrape("x", report), SuperScraper::NoHostOrUri);
        EXPECT_EQ(server.requestCount(), before);
        std::vector<SuperScraper::City> cities;
        EXPECT_EQ(noUri.search("x", cities), SuperScraper::NoHostOrUri);
    }
}

TEST_F(FlexiScraperTest, KeysFillTemplatesSafely) {
    std::string out;
    EXPECT_TRUE(scraper.mergeKeysIntoString("/f?site=<uri_key><%idx=2>&city=<uri_key>",
                                            key({"ifps", "CA", "MTR"}), "uri_key", out));
    EXPECT_EQ(out, "/f?site=MTR&city=ifps");

    CaptureStdout log;
    EXPECT_TRUE(scraper.mergeKeysIntoString("/a<uri_key><%idx=5>b<uri_key><%idx=-1>", key({"x", "y", "z"}),
                                            "uri_key", out));
    EXPECT_EQ(out, "/ab");
    EXPECT_EQ(log.text(), "couldn't match key...\ncouldn't match key...\n");

    // Stored parts are already encoded and stay as they are; a blank is encoded.
    EXPECT_TRUE(scraper.mergeKeysIntoString("/q=<uri_key>", "Paris%2C+France (x)", "uri_key", out));
    EXPECT_EQ(out, "/q=Paris%2C+France%20(x)");
    // A control byte in a key part could end the request line: refused.
    EXPECT_FALSE(scraper.mergeKeysIntoString("/q=<uri_key>", "a\r\nX-Evil: 1", "uri_key", out));
    ScrapeReport report;
    size_t before = server.requestCount();
    EXPECT_EQ(scraper.scrape("a\r\nX-Evil: 1", report), SuperScraper::EmptyKey);
    EXPECT_EQ(server.requestCount(), before);

    EXPECT_EQ(scraper.encodeString("New York"), "New+York");
    EXPECT_EQ(scraper.encodeString("Z\xfcrich\r\n"), "Z%FCrich%0D%0A");
}

TEST_F(FlexiScraperTest, SearchFetchesTheSearchPageOnly) {
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper.search("springfield", cities), SuperScraper::Success);
    EXPECT_TRUE(cities.empty());
    EXPECT_EQ(server.lastRequest().target, "http://weather.example.com/search?q=springfield");
}

TEST(FlexiScraperCities, NumberedKeysAndCityNames) {
    FlexiScraper scraper("", "");
    StringMap found{{"url-1", "/a"}, {"url-2", "/b"}, {"url-4", "/d"}, {"name-1", "Boston, Massachusetts"},
                    {"name-2", "Springfield ,Illinois"}, {"name-3", "Paris, France"}};
    std::vector<std::string> values;
    EXPECT_EQ(FlexiScraper::getNumberedKeys(found, "url", values), 2);
    values.clear();
    EXPECT_EQ(FlexiScraper::getNumberedKeys({{"url", "/only"}}, "url", values), 1);
    values.clear();
    EXPECT_EQ(FlexiScraper::getNumberedKeys({{"url", ""}}, "url", values), 0);
    EXPECT_EQ(FlexiScraper::composeNumberedKey("url", 10), "url-10");

    std::vector<SuperScraper::City> cities;
    scraper.getCities(found, cities);
    ASSERT_EQ(cities.size(), 2u);
    EXPECT_EQ(cities[0].key, "/a");
    EXPECT_EQ(cities[0].name, "Boston, MA");
    EXPECT_EQ(cities[1].name, "Springfield, IL");

    scraper.insertCity("k", "Boston,Massachusetts", cities);
    scraper.insertCity("k", "  Paris,   France ", cities);
    EXPECT_EQ(cities[2].name, "Boston, MA");
    EXPECT_EQ(cities[3].name, "Paris, France");
}
