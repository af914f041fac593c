// Each form a Weather Underground page writes a value in, put into its row of
// a city page, gives the text the menu shows; another text beside the label, none.

#include <gtest/gtest.h>
#include <regex>

#include "LogCapture.h"
#include "scrapers/UgScraper.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"

namespace {

// The row whose value cell gets the form, the cell's HTML, the key the menu
// shows and its text ("-": nothing shown for the key).
struct Form {
    const char *label, *cell, *key, *shown;
};

const Form kForms[] = {
    {"Temperature", "<b>-30</b>&nbsp;&#176;F / <b>-34</b>&nbsp;&#176;C", "temperature", "-30\xA1"},
    {"Temperature", "<b>120</b>&nbsp;&deg;F", "temperature", "120\xA1"},
    {"Temperature", "<b>72&#176;F</b>", "temperature", "72\xA1"},
    {"Temperature", "<b>N/A</b>&nbsp;&#176;F / <b>-4</b>&nbsp;&#176;C", "temperature", "n/a\xA1"},
    {"Dew Point", "<b>-40</b>&nbsp;&#176;F", "dewpoint", "-40\xA1"}, {"Dew Point", "<b>N/A</b>", "dewpoint", "-"},
    {"Humidity", "<b>0%</b>", "humidity", "0"}, {"Humidity", "<b>100%</b>", "humidity", "100"},
    {"Humidity", "<b>Hygrometers</b> 45% off", "humidity", "-"}, {"Wind", "<b>Calm</b>", "wind", "Calm"},
    {"Wind", "<b>5</b>&nbsp;mph from the <b>Variable</b>", "wind", "Variable 5 MPH"},
    {"Wind", "<b>12</b>&nbsp;mph from the <b>W</b>, gusting to <b>30</b>&nbsp;mph", "wind", "W 12 MPH"},
    {"Wind", "<b>10</b>&nbsp;mph from the <b>North</b>", "wind", "North 10 MPH"},
    {"Pressure", "<b>30.0</b>&nbsp;in", "barometer", "30.0\""},
    {"Pressure", "<b>29.92</b>&nbsp;in / <b>1013</b>&nbsp;hPa", "barometer", "29.92\""},
    {"Pressure", "<b>29.92&quot;</b>", "barometer", "29.92\""}, {"Pressure", "<b>30.1&#34;</b>", "barometer", "30.1\""},
    {"Conditions", "<b>Rain, Mist</b>", "condition-word", "Rain, Mist"},
    {"Conditions", "<b>T-Storms</b>", "weatherCode", "35"},
    {"Conditions", "<b>Light Rain Fog/Mist</b>", "condition-word", "Light Rain Fog/Mist"},
    {"Conditions", "<b>Snow, Blowing Snow</b>", "weatherCode", "14"},
    {"Conditions", "<b>Freezing Drizzle</b>", "condition-word", "Freezing Drizzle"},
    {"Conditions", "<b>Thunderstorm Heavy Rain</b>", "weatherCode", "39"},
    {"Conditions", "<b>Partly Cloudy and Windy</b>", "weatherCode", "30"},
    {"Conditions", "<b>Thunderstorm in Vicinity</b>", "condition-word", "Thunderstorm in Vicinity"},
    {"Conditions", "<b>Rain Boots</b>", "condition-word", "-"},
    {"Visibility", "<b>10</b>&nbsp;miles", "visibility", "10 mi"},
    {"Visibility", "<b>0.5</b>&nbsp;miles", "visibility", "0.5 mi"},
    {"Visibility", "<b>1/4</b>&nbsp;miles", "visibility", "1/4 mi"},
    {"Visibility", "<b>1 1/2</b>", "visibility", "1 1/2 mi"}, {"Sunrise:", "12:05 AM CDT", "sunrise", "12:05 AM"},
    {"Sunset:", "11:59 PM", "sunset", "11:59 PM"}, {"Local Time:", "12:00 PM CDT", "curtime", "12:00 PM"},
    {"Updated:", "12:05 AM CDT Monday January 3, 2005", "time", "January 3, 12:05 AM CDT"},
    {"Sunrise:", "Sunrise Lamps 6:45 AM", "sunrise", "-"}};

TEST(UgValueForms, EachFormOnThePageIsShownAsTheMenuWritesIt) {
    LogCapture log;
    FixtureServer server;
    UgScraper scraper(shippedConfig("u1"), shippedConfig("u2"));
    scraper.setHttpProxy("127.0.0.1", server.port());
    const std::string page = fixtureText("ug/US/KS/Wichita.html");
    std::string key;
    SuperScraper::joinKey({"US", "KS", "Wichita"}, key);
    for (const Form& form : kForms) {
        SCOPED_TRACE(std::string(form.label) + " " + form.cell);
        const std::regex row(std::string(">") + form.label + "(</td><td class=\"[a-z]+\">)[^\n]*(</td></tr>)");
        const std::string cell = std::string(">") + form.label + "$01" + form.cell + "$02";
        server.route("www.wunderground.com", "/US/KS/Wichita.html", FixtureReply::page(std::regex_replace(page, row, cell)));
        ScrapeReport report;
        ASSERT_EQ(scraper.scrape(key, report), SuperScraper::Success);
        EXPECT_EQ(getHash(report.getDisplayableHash(UnitConverter::None), form.key, "-"), form.shown);
    }
}

}  // namespace
