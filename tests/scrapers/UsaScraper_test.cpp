#include "scrapers/UsaScraper.h"

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"

namespace {

const char* const kHost = "www.usatoday.com";

class UsaScraperTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.mapHost(kHost, "usa");
        scraper_.setHttpProxy("127.0.0.1", server_.port());
    }

    StringMap scrape(const std::string& key, ScrapeReport& report) {
        EXPECT_EQ(scraper_.scrape(key, report), SuperScraper::Success) << key;
        return report.getOutputHashRef();
    }

    // The numbered list key-1, key-2, ... of a table.
    static std::vector<std::string> list(const StringMap& table, const std::string& key) {
        std::vector<std::string> values;
        FlexiScraper::getNumberedKeys(table, key, values);
        return values;
    }

    using Strings = std::vector<std::string>;

    LogCapture log_;
    FixtureServer server_;
    UsaScraper scraper_{shippedConfig("t1"), shippedConfig("t2")};
};

}  // namespace

TEST_F(UsaScraperTest, TodayLeadsTheForecast) {
    ScrapeReport report;
    report.setInput("isFavorite", "1");
    report.setInput("in_tokens", "temperature");  // replaced: every chunk is scored
    const StringMap out = scrape("USNY0996", report);

    EXPECT_EQ(server_.lastRequest().target,
              "http://www.usatoday.com/weather/forecast/wcurrent.aspx?LocationID=USNY0996");
    EXPECT_EQ(report.getInputHashRef().at("in_tokens"), "");
    EXPECT_EQ(out.at("name"), "New York (Central Park), NY, United States");
    EXPECT_EQ(out.at("temperature"), "72");
    EXPECT_EQ(out.at("weatherCode"), "32");
    EXPECT_EQ(out.at("humidity"), "45");
    EXPECT_EQ(out.at("dewpoint"), "49");
    EXPECT_EQ(out.at("barometer"), "30.05");
    EXPECT_EQ(out.at("visibility"), "10");
    EXPECT_EQ(out.at("wind"), "Calm");  // the site's CALM
    EXPECT_EQ(out.at("time"), "3:51 PM EDT");
    EXPECT_EQ(out.at("gmtOffset"), "-4");

    EXPECT_EQ(list(out, "day"), (Strings{"Later", "Wednesday", "Thursday", "Friday", "Saturday"}));
    EXPECT_EQ(list(out, "code"), (Strings{"32", "30", "32", "39", "28"}));
    EXPECT_EQ(list(out, "high"), (Strings{"75", "80", "82", "76", "74"}));
    EXPECT_EQ(list(out, "low"), (Strings{"58", "62", "64", "60", "59"}));

    EXPECT_EQ(report.getDisplayHashRef().at("credit"), "Weather from USA TODAY");
    EXPECT_EQ(report.getDisplayHashRef().at("wind_dir"), "C");
    EXPECT_EQ(report.score(), 100);
}

TEST_F(UsaScraperTest, ShapesOfTodaysValues) {
    // One value for today, shown as both high and low: it is tonight's low.
    ScrapeReport same;
    StringMap out = scrape("USCA0987", same);
    EXPECT_EQ(list(out, "high"), (Strings{"", "80", "82", "76", "74"}));
    EXPECT_EQ(list(out, "low"), (Strings{"58", "62", "64", "60", "59"}));
    EXPECT_EQ(out.at("code-1"), "28");
    EXPECT_EQ(out.at("wind"), "W 14 mph");

    // No values for today: still "Later", the current code and empty entries in front.
    ScrapeReport none;
    out = scrape("USTX0327", none);
    EXPECT_EQ(list(out, "day"), (Strings{"Later", "Wednesday", "Thursday", "Friday", "Saturday"}));
    EXPECT_EQ(list(out, "code"), (Strings{"34", "30", "32", "39", "28"}));
    EXPECT_EQ(list(out, "high"), (Strings{"", "80", "82", "76", "74"}));
    EXPECT_EQ(list(out, "low"), (Strings{"", "62", "64", "60", "59"}));
    EXPECT_EQ(none.score(), 100);

    // No forecast on the page: today alone.
    ScrapeReport today;
    out = scrape("USFL0372", today);
    EXPECT_EQ(list(out, "day"), Strings{"Later"});
    EXPECT_EQ(list(out, "code"), Strings{"35"});
    EXPECT_EQ(list(out, "high"), Strings{"91"});
    EXPECT_EQ(list(out, "low"), Strings{"73"});
    EXPECT_EQ(out.at("wind"), "Calm");  // already in this spelling
}

TEST_F(UsaScraperTest, PushToKeyList) {
    StringMap table{{"day-1", "Monday"}, {"day-2", "Tuesday"}};
    UsaScraper::pushToKeyList(table, "day", "Later");
    EXPECT_EQ(table, (StringMap{{"day-1", "Later"}, {"day-2", "Monday"}, {"day-3", "Tuesday"}}));

    StringMap empty;
    UsaScraper::pushToKeyList(empty, "code", "");
    EXPECT_EQ(empty, (StringMap{{"code-1", ""}}));

    // A lone plain key counts as the list.
    StringMap plain{{"high", "70"}};
    UsaScraper::pushToKeyList(plain, "high", "75");
    EXPECT_EQ(plain.at("high-1"), "75");
    EXPECT_EQ(plain.at("high-2"), "70");
}

TEST_F(UsaScraperTest, CleanText) {
    std::string text = "  New York (Central Park) ,  NY, United States  ";
    scraper_.cleanText(text);
    EXPECT_EQ(text, "New York Central Park, NY");
    text = "Calm";
    scraper_.cleanText(text);
    EXPECT_EQ(text, "Calm");
}

TEST_F(UsaScraperTest, SearchResults) {
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper_.search("Portland", cities), SuperScraper::Success);
    EXPECT_EQ(server_.lastRequest().target, "http://www.usatoday.com/weather/forecast/wsearch.aspx?query=Portland");
    ASSERT_EQ(cities.size(), 3u);
    EXPECT_EQ(cities[0].key, "USOR0275");
    EXPECT_EQ(cities[0].name, "Portland, OR");
    EXPECT_EQ(cities[1].key, "USME0328");
    EXPECT_EQ(cities[1].name, "Portland, ME");
    EXPECT_EQ(cities[2].key, "USOR0170");
    EXPECT_EQ(cities[2].name, "Hillsboro Portland-Hillsboro Airport, OR");

    // A link with "&amp;" between its arguments; a name with a reference.
    server_.route(kHost, "/weather/forecast/wsearch.aspx?query=Fallon",
                  FixtureReply::page("<html><body><table><tr><td class=\"res\"><a href=\"/weather/forecast/wcurrent"
                                     ".aspx?LocationID=USMO0689&amp;p=1\">O&#39;Fallon, Missouri, United States</a>"
                                     "</table></body></html>"));
    cities.clear();
    EXPECT_EQ(scraper_.search("Fallon", cities), SuperScraper::Success);
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].key + " " + cities[0].name, "USMO0689 O'Fallon, MO");
}

TEST_F(UsaScraperTest, SearchAnsweredWithARedirect) {
    server_.route(kHost, "/weather/forecast/wsearch.aspx?query=New+York",
                  FixtureReply::redirect("http://www.usatoday.com/weather/forecast/wcurrent.aspx?LocationID=USNY0996"));
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper_.search("New York", cities), SuperScraper::Success);
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].key, "USNY0996");
    EXPECT_EQ(cities[0].name, "New York Central Park, NY");
    EXPECT_EQ(server_.lastRequest().target,
              "http://www.usatoday.com/weather/forecast/wcurrent.aspx?LocationID=USNY0996");

    // A redirect that names no location.
    server_.route(kHost, "/weather/forecast/wsearch.aspx?query=Nowhere",
                  FixtureReply::redirect("http://www.usatoday.com/weather/default.htm"));
    cities.clear();
    EXPECT_EQ(scraper_.search("Nowhere", cities), SuperScraper::EmptyKey);
    EXPECT_TRUE(cities.empty());

    // A location whose page cannot be fetched.
    FastHttp fast;
    server_.route(kHost, "/weather/forecast/wsearch.aspx?query=Gone",
                  FixtureReply::redirect("http://www.usatoday.com/weather/forecast/wcurrent.aspx?LocationID=USXX0001"));
    server_.route(kHost, "/weather/forecast/wcurrent.aspx?LocationID=USXX0001", FixtureReply::stall());
    EXPECT_EQ(scraper_.search("Gone", cities), SuperScraper::FetchFailed);
    EXPECT_TRUE(cities.empty());
    EXPECT_NE(log_.output().find("usa failed to retrieve data for key=[USXX0001]\n"), std::string::npos);

    // A location whose page gives no name.
    server_.route(kHost, "/weather/forecast/wsearch.aspx?query=Blank",
                  FixtureReply::redirect("http://www.usatoday.com/weather/forecast/wcurrent.aspx?LocationID=USXX0002"));
    server_.route(kHost, "/weather/forecast/wcurrent.aspx?LocationID=USXX0002",
                  FixtureReply::page("<html><body><p>Forecast temporarily unavailable.</p></body></html>"));
    EXPECT_EQ(scraper_.search("Blank", cities), SuperScraper::Success);
    EXPECT_TRUE(cities.empty());
}

TEST_F(UsaScraperTest, SearchNeverTakesItsOwnAddressForACity) {
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper_.search("Xyzzy", cities), SuperScraper::Success);
    EXPECT_TRUE(cities.empty());

    // A search configuration that reads any text as a name still pairs names
    // only with result links, never with the address it fetched.
    std::string loose = shippedConfig("t1");
    const size_t floor = loose.find("name-minscore=");
    loose.replace(floor, loose.find('\n', floor) - floor, "#");
    UsaScraper scraper(loose, shippedConfig("t2"));
    scraper.setHttpProxy("127.0.0.1", server_.port());
    EXPECT_EQ(scraper.search("Xyzzy", cities), SuperScraper::Success);
    EXPECT_TRUE(cities.empty());
}

TEST_F(UsaScraperTest, FetchFailures) {
    FastHttp fast;
    RefusedPort refused;
    scraper_.setHttpProxy("127.0.0.1", refused.port());
    ScrapeReport report;
    EXPECT_EQ(scraper_.scrape("USNY0996", report), SuperScraper::FetchFailed);
    EXPECT_TRUE(report.getOutputHashRef().empty());
    EXPECT_NE(log_.output().find("usa failed to retrieve data for key=[USNY0996]\n"), std::string::npos);
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper_.search("Portland", cities), SuperScraper::FetchFailed);
    EXPECT_TRUE(cities.empty());

    UsaScraper pathless("host=www.usatoday.com\n", "host=www.usatoday.com\n");
    EXPECT_EQ(pathless.scrape("USNY0996", report), SuperScraper::NoHostOrUri);
    EXPECT_EQ(pathless.search("Portland", cities), SuperScraper::NoHostOrUri);
}
