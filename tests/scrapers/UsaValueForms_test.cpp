// Each form a real USA Today page writes a value in, put into a copy of a fixture page, gives the text the menu
// shows (degree sign 0xA1), and a text of another shape gives none ("").

#include <gtest/gtest.h>

#include "scrapers/UsaScraper.h"
#include "support/ScraperFixtures.h"

const FormTable kForms = {
    {"temperature", "72&deg;F", {{"-30&deg;F", "-30\xA1"}, {"0&deg;F", "0\xA1"}, {"120&deg;F", "120\xA1"}, {"72&deg; F", "72\xA1"},
        {"57", "57\xA1"}, {"105&#176;F", "105\xA1"}, {"64\xC2\xB0", "64\xA1"}, {"n/a", "n/a\xA1"}}},
    {"high-1", "75&deg;", {{"98", "98\xA1"}, {"-7&deg;", "-7\xA1"}, {"N/A", ""}}},
    {"low-1", "58&deg;", {{"-12&#xB0;", "-12\xA1"}, {"0", "0\xA1"}}},
    {"dewpoint", "49&deg;", {{"-40&deg;", "-40\xA1"}, {"70&#176;", "70\xA1"}, {"Dry", ""}}},
    {"humidity", "45%", {{"0%", "0"}, {"100%", "100"}, {"7 %", "7"}, {"Compare 45% off", ""}}},
    {"wind", "CALM", {{"Calm", "Calm"}, {"Variable 5 mph", "Variable 5 mph"}, {"N 10 G 25 MPH", "N 10 G 25 MPH"},
        {"W 12 mph gusting to 30", "W 12 mph gusting to 30"}, {"NNW at 8 mph", "NNW at 8 mph"},
        {"From the West at 10 MPH", "From the West at 10 MPH"}, {"Wind Chimes 3", ""}}},
    {"barometer", "30.05 in.", {{"30.0 in.", "30.0"}, {"29.92 in", "29.92"}, {"29.9&quot;", "29.9"}, {"30.01 in. and falling", "30.01"},
        {"29.92 inches and rising", "29.92"}, {"Low", ""}}},
    {"visibility", "10 mi.", {{"0.5 mi.", "0.5"}, {"1/4 mi.", "1/4"}, {"1 1/2 mi.", "1 1/2"}, {"Fog Lights", ""}}},
    {"time", "3:51 PM EDT", {{"12:05 AM EST", "12:05 AM EST"}, {"11:59 PM", "11:59 PM"}, {"Lamps 6:45 AM", ""}}},
    {"weatherCode", "32.gif\" width=\"64", {{"3.gif\" width=\"64", "3"}, {"45.gif\"", "45"}, {"na.gif\"", ""}}},
    {"day-2", "Wednesday", {{"Tuesday", "Tuesday"}, {"Sun", "Sun"}}},
    {"high-2", "80&deg;", {{"-15&deg;", "-15\xA1"}, {"112&#176;", "112\xA1"}, {"--", ""}}},
    {"high-3", "80&deg;", {{"N/A", "82\xA1"}}},  // a day without a high leaves the next day's in its place
    {"low-3", "62&deg;", {{"--", "64\xA1"}}},
    {"code-2", "30.gif", {{"5.gif", "5"}, {"12.gif", "12"}}},
};

TEST(UsaValueForms, EachFormGivesTheTextShownOrNone) {
    FixtureServer server;
    UsaScraper scraper(shippedConfig("t1"), shippedConfig("t2"));
    expectFormsShown(server, scraper, "USNY0996",
                     {{"www.usatoday.com", "/weather/forecast/wcurrent.aspx",
                       fixtureText("usa/weather/forecast/wcurrent.aspx?LocationID=USNY0996")}}, kForms);
}
