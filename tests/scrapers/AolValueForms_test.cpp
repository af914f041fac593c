// Each form a real AOL page writes a value in, put in its place on a page: the text the menu shows, or none.
#include <gtest/gtest.h>

#include "scrapers/AolScraper.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"

TEST(AolValueForms, EachFormIsShownAsTheMenuShowsIt) {
    const std::map<std::string, std::string> pageValue = {  // where each stands first on the page
        {"temperature", "68&deg;F"}, {"humidity", "50"}, {"wind", "NW 12 mph"}, {"barometer", "30.12 in"},
        {"visibility", "10 mi"}, {"time", "4:53 pm CST"}, {"weatherCode", "wx/30.gif"}, {"day-1", "Tuesday"},
        {"code-1", "wx/32.gif"}, {"high-1", "Hi 75&deg;"}, {"low-1", "Lo 58&deg;"}};
    const struct { const char *key, *onPage, *shown; } forms[] = {
        {"temperature", "-30&#176;F", "-30\xA1"}, {"temperature", "120\xC2\xB0" "F", "120\xA1"},
        {"temperature", "7", "7\xA1"}, {"temperature", " 0&#xB0; ", "0\xA1"}, {"temperature", "From $9.99", "n/a\xA1"},
        {"humidity", "0", "0%"}, {"humidity", "100%", "100%"}, {"humidity", "7 %", "7%"}, {"humidity", "N/A", ""},
        {"wind", "Calm", "Calm"}, {"wind", "Variable 5 mph", "Variable 5 mph"},
        {"wind", "N 10 G 25 MPH", "N 10 G 25 MPH"}, {"wind", "W 12 mph gusting to 30", "W 12 mph gusting to 30"},
        {"wind", "SSE at 8 mph", "SSE at 8 mph"}, {"wind", "Wind Chimes 3 for $12", ""},
        {"barometer", "30.0 in", "30.0"}, {"barometer", "29.92&quot;", "29.92"},
        {"barometer", "30.1 in and rising", "30.1"}, {"barometer", "Barometers 30% off", ""},
        {"visibility", "0.5 mi", "0.5"}, {"visibility", "1/4 mi", "1/4"}, {"visibility", "1 1/2 miles", "1 1/2"},
        {"visibility", "Fog Lights 10 mi range", ""}, {"time", "12:05 AM", "12:05 AM"},
        {"time", "11:59 pm EDT", "11:59 pm EDT"}, {"time", "Compare 45% off", ""}, {"weatherCode", "wx/0.gif", "0"},
        {"weatherCode", "wx/9.gif", "9"}, {"weatherCode", "wx/47.gif", "47"}, {"weatherCode", "ads/sale.gif", ""},
        {"code-1", "wx/46.gif", "46"}, {"day-1", "Today", "Today"}, {"day-1", "Tue", "Tue"},
        {"high-1", "Hi 120&deg;", "120\xA1"}, {"high-1", "Hi 75", "75\xA1"}, {"low-1", "Lo -40&#176;", "-40\xA1"},
        {"low-1", "Lo 5\xC2\xB0" "F", "5\xA1"}};

    FixtureServer server;
    AolScraper scraper(shippedConfig("a1"), shippedConfig("a2"));
    scraper.setHttpProxy("127.0.0.1", server.port());
    const std::string original = fixtureText("aol/main.adp?location=USIL0225");
    for (const auto& [key, onPage, shown] : forms) {
        std::string page = original;
        page.replace(page.find(pageValue.at(key)), pageValue.at(key).size(), onPage);
        server.route("weather.aol.com", "/main.adp?location=USIL0225", FixtureReply::page(page));
        ScrapeReport report;
        ASSERT_EQ(scraper.scrape("USIL0225", report), SuperScraper::Success);
        EXPECT_EQ(getHash(report.getDisplayableHash(UnitConverter::None), key, ""), shown) << key << " = " << onPage;
    }
}
