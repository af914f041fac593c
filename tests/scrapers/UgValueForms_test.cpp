// Each form a Weather Underground page writes a value in, put into its row of
// a city page, gives the text the menu shows; another text beside the label, none.

#include <gtest/gtest.h>
#include <regex>

#include "LogCapture.h"
#include "scrapers/UgScraper.h"
#include "support/ScraperFixtures.h"

namespace {

// The key the menu shows, the label of the row whose value cell gets each form, and each form's cell HTML with the
// key's text ("-": nothing shown for the key).
const FormTable kRows = {
    {"temperature", "Temperature", {{"<b>-30</b>&nbsp;&#176;F / <b>-34</b>&nbsp;&#176;C", "-30\xA1"},
        {"<b>120</b>&nbsp;&deg;F", "120\xA1"}, {"<b>72&#176;F</b>", "72\xA1"},
        {"<b>N/A</b>&nbsp;&#176;F / <b>-4</b>&nbsp;&#176;C", "n/a\xA1"}}},
    {"dewpoint", "Dew Point", {{"<b>-40</b>&nbsp;&#176;F", "-40\xA1"}, {"<b>N/A</b>", "-"}}},
    {"humidity", "Humidity", {{"<b>0%</b>", "0"}, {"<b>100%</b>", "100"}, {"<b>22</b>%", "22"}, {"<b>Hygrometers</b> 45% off", "-"}}},
    {"wind", "Wind", {{"<b>Calm</b>", "Calm"}, {"<b>5</b>&nbsp;mph from the <b>Variable</b>", "Variable 5 MPH"},
        {"<b>12</b>&nbsp;mph from the <b>W</b>, gusting to <b>30</b>&nbsp;mph", "W 12 MPH"},
        {"<b>10</b>&nbsp;mph from the <b>North</b>", "North 10 MPH"},
        {"<b>7</b>&nbsp;mph / <b>11</b>&nbsp;km/h from the <b>NNE</b>", "NNE 7 MPH"}}},
    {"barometer", "Pressure", {{"<b>30.0</b>&nbsp;in", "30.0\""}, {"<b>29.92&quot;</b>", "29.92\""},
        {"<b>29.92</b>&nbsp;in / <b>1013</b>&nbsp;hPa", "29.92\""}, {"<b>30.1&#34;</b>", "30.1\""}}},
    {"condition-word", "Conditions", {{"<b>Rain, Mist</b>", "Rain, Mist"}, {"<b>Rain Boots</b>", "-"},
        {"<b>Light Rain Fog/Mist</b>", "Light Rain Fog/Mist"}, {"<b>Freezing Drizzle</b>", "Freezing Drizzle"},
        {"<b>Thunderstorm in Vicinity</b>", "Thunderstorm in Vicinity"}, {"<b>Dust Whirls</b>", "Dust Whirls"},
        {"<b>Sandstorm</b>", "Sandstorm"}, {"<b>Ice Pellet Showers</b>", "Ice Pellet Showers"}}},
    {"weatherCode", "Conditions", {{"<b>T-Storms</b>", "35"}, {"<b>Snow, Blowing Snow</b>", "14"},
        {"<b>Thunderstorm Heavy Rain</b>", "39"}, {"<b>Partly Cloudy and Windy</b>", "30"}}},
    {"visibility", "Visibility", {{"<b>10</b>&nbsp;miles", "10 mi"}, {"<b>0.5</b>&nbsp;miles", "0.5 mi"},
        {"<b>1/4</b>&nbsp;miles", "1/4 mi"}, {"<b>1 1/2</b>", "1 1/2 mi"}}},
    {"sunrise", "Sunrise:", {{"12:05 AM CDT", "12:05 AM"}, {"Sunrise Lamps 6:45 AM", "-"}}},
    {"sunset", "Sunset:", {{"11:59 PM", "11:59 PM"}}}, {"curtime", "Local Time:", {{"12:00 PM CDT", "12:00 PM"}}},
    {"time", "Updated:", {{"12:05 AM CDT Monday January 3, 2005", "January 3, 12:05 AM CDT"}}},
};

// Puts the form in as the whole value cell of the row with the label.
bool putInRow(std::string& page, std::string label, const std::string& form) {
    const std::regex row(">" + label + "(</td><td class=\"[a-z]+\">)[^\n]*(</td></tr>)");
    if (!std::regex_search(page, row)) return false;
    page = std::regex_replace(page, row, ">" + label + "$01" + form + "$02");
    return true;
}

TEST(UgValueForms, EachFormOnThePageIsShownAsTheMenuWritesIt) {
    LogCapture log;
    FixtureServer server;
    UgScraper scraper(shippedConfig("u1"), shippedConfig("u2"));
    std::string key;
    SuperScraper::joinKey({"US", "KS", "Wichita"}, key);
    const std::string page = fixtureText("ug/US/KS/Wichita.html");
    expectFormsShown(server, scraper, key, {{"www.wunderground.com", "/US/KS/Wichita.html", page}}, kRows, "-",
                     putInRow);
}

}  // namespace
