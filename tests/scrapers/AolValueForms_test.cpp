// Each form a real AOL page writes a value in, put in its place on a page: the text the menu shows, or none.
#include <gtest/gtest.h>

#include "scrapers/AolScraper.h"
#include "support/ScraperFixtures.h"

// Each value is put where it stands first on the page.
const FormTable kForms = {
    {"temperature", "68&deg;F", {{"-30&#176;F", "-30\xA1"}, {"120\xC2\xB0" "F", "120\xA1"}, {"7", "7\xA1"}, {"68\xB0" "F", "68\xA1"}, {"69\xC2\xA0\xC2\xB0" "F", "69\xA1"},
        {" 0&#xB0; ", "0\xA1"}, {"From $9.99", "n/a\xA1"}}},
    {"humidity", "50", {{"0", "0%"}, {"100%", "100%"}, {"7 %", "7%"}, {"N/A", ""}}},
    {"wind", "NW 12 mph", {{"Calm", "Calm"}, {"Variable 5 mph", "Variable 5 mph"}, {"N 10 G 25 MPH", "N 10 G 25 MPH"},
        {"W 12 mph gusting to 30", "W 12 mph gusting to 30"}, {"SSE at 8 mph", "SSE at 8 mph"},
        {"From the West at 10 MPH", "From the West at 10 MPH"}, {"From W at 10 mph", "From W at 10 mph"},
        {"Wind Chimes 3 for $12", ""}}},
    {"barometer", "30.12 in", {{"30.0 in", "30.0"}, {"29.92&quot;", "29.92"}, {"30.1 in and rising", "30.1"},
        {"Barometers 30% off", ""}}},
    {"visibility", "10 mi", {{"0.5 mi", "0.5"}, {"1/4 mi", "1/4"}, {"1 1/2 miles", "1 1/2"},
        {"Fog Lights 10 mi range", ""}}},
    {"time", "4:53 pm CST", {{"12:05 AM", "12:05 AM"}, {"11:59 pm EDT", "11:59 pm EDT"}, {"Compare 45% off", ""}}},
    {"weatherCode", "wx/30.gif", {{"wx/0.gif", "0"}, {"wx/9.gif", "9"}, {"wx/47.gif", "47"}, {"ads/sale.gif", ""}}},
    {"code-1", "wx/32.gif", {{"wx/46.gif", "46"}}},
    {"day-1", "Tuesday", {{"Today", "Today"}, {"Tue", "Tue"}}},
    {"high-1", "Hi 75&deg;", {{"Hi 120&deg;", "120\xA1"}, {"Hi 75", "75\xA1"}, {"Hi N/A", ""}}},
    {"high-2", "Hi 75&deg;", {{"Hi --", "77\xA1"}}},  // a day without a high leaves the next day's in its place
    {"low-2", "Lo 58&deg;", {{"Lo N/A", "60\xA1"}}},
    {"low-1", "Lo 58&deg;", {{"Lo -40&#176;", "-40\xA1"}, {"Lo 5\xC2\xB0" "F", "5\xA1"}}},
};

TEST(AolValueForms, EachFormIsShownAsTheMenuShowsIt) {
    FixtureServer server;
    AolScraper scraper(shippedConfig("a1"), shippedConfig("a2"));
    const std::string page = fixtureText("aol/main.adp?location=USIL0225");
    expectFormsShown(server, scraper, "USIL0225", {{"weather.aol.com", "/main.adp?location=USIL0225", page}}, kForms);
}
