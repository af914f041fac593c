// Each form a source writes a value in, put on its page and scraped, gives the text the menu shows, or none ("").
#include <gtest/gtest.h>
#include <algorithm>
#include <regex>
#include <tuple>

#include "LogCapture.h"
#include "NwsTestSupport.h"
#include "scrapers/AolScraper.h"
#include "scrapers/UgScraper.h"
#include "scrapers/UsaScraper.h"

namespace {

using ValueForms = std::vector<std::pair<std::string, std::string>>;  // each form with the text shown (degree: 0xA1)
using FormTable = std::vector<std::tuple<std::string, std::string, ValueForms>>;  // display key, slot, forms
struct ServedPage { std::string host, path, text; };

// Puts form at the slot: the value, or the value in braces with text around it ("Humidity: {93%}<") to tell it apart.
bool putForm(std::string& text, std::string slot, const std::string& form) {
    if (slot.find('{') == std::string::npos) slot = "{" + slot + "}";
    const size_t open = slot.find('{'), close = slot.find('}'), at = text.find(slot.erase(close, 1).erase(open, 1));
    return at != std::string::npos && (text.replace(at + open, close - open - 1, form), true);
}

// Serves the pages, each form put in the first that holds its slot, and expects the text shown for its key.
void expectFormsShown(SuperScraper& scraper, const std::string& location, const std::vector<ServedPage>& pages,
                      const FormTable& table, bool (*put)(std::string&, std::string, const std::string&) = putForm) {
    FixtureServer server;
    scraper.setHttpProxy("127.0.0.1", server.port());
    for (const auto& [key, slot, forms] : table) {
        for (const auto& [form, shown] : forms) {
            auto served = pages;
            EXPECT_TRUE(std::any_of(served.begin(), served.end(), [&](auto& p) { return put(p.text, slot, form); }));
            for (const auto& page : served) server.route(page.host, page.path, FixtureReply::page(page.text));
            ScrapeReport report;
            scraper.scrape(location, report);
            EXPECT_EQ(getHash(report.getDisplayableHash(UnitConverter::None), key, ""), shown) << key << "<-" << form;
        }
    }
}

// Weather service pages: location key, path, fixture and the station whose report is served beside it.
const struct { std::vector<std::string> key; const char *path, *file, *station; } kNwsPages[] = {
    {{"ifps", "crh", "Des+Moines", "IA", "DMX"}, "/ifps/MapClick.php", "point_des_moines.html", "KDSM"},
    {{"total_forecast", "springfield, il", "crh", "ilx", "ILZ051", "ILC167"}, "/total_forecast/index.php",
     "total_forecast_springfield.html", "KSPI"},
    {{"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}, "/port/MapClick.php", "latlon_ankeny.html", "KDSM"}};

// A key as shown (day-3: third period's name, code-1: first period's icon code), its slot on each page, its forms.
const std::vector<std::tuple<std::string, std::vector<std::string>, ValueForms>> kNwsKeys{
    {"weatherCode", {">{Partly Cloudy}<", ">{Light Rain}<", ">{Overcast}<"}, {{"Light Rain Fog/Mist", "12"},
     {"Snow, Blowing Snow", "15"}, {"T-storms", "4"}, {"Partly Cloudy and Windy", "30"}, {"Duststorm", "19"}}},
    {"temperature", {">{30&deg;F}<", ">{45&deg;F}<", ">{27&deg;F}<"}, {{"-40&deg;F (-40&deg;C)", "-40\xA1"},
     {"72", "72\xA1"}, {"120&#176;F", "120\xA1"}, {"61\xB0" "F", "61\xA1"}, {"98\xC2\xB0" "F", "98\xA1"}}},
    {"dewpoint", {"{21&deg;F (-6&deg;C)}", ": {43&deg;F}<", "{20&deg;F (-7&deg;C)}"}, {{"-4&#xB0;F", "-4\xA1"}}},
    {"humidity", {">{69%}<", ">Humidity: {93%}<", ">{74%}<"}, {{"0%", "0%"}, {"100 %", "100%"}}},
    {"wind", {">{NW 15 MPH}<", ">Wind: {E 8 MPH}<", ">{S 9 MPH}<"}, {{"Calm", "Calm"}, {"N 10 G 25 MPH",
     "N 10 G 25 MPH"}, {"Variable 5 mph", "Variable 5 mph"}, {"From the Northwest at 9 Gusting to 20 MPH (8 Gusting "
     "to 17 KT)", "From the Northwest at 9 Gusting to 20 MPH (8 Gusting to 17 KT)"}}},
    {"barometer", {"{30.12&quot; (1019.9 mb)}", "{29.85&quot;}", "{30.05&quot; (1017.6 mb)}"},
     {{"30.0&quot;", "30.0\""}, {"29.92 inHg (1013.2 hPa)", "29.92\""}, {"1012.5 mb", "29.90\""}}},
    {"time", {"{10:53 am CST Dec 8, 2026}", ": {3:53 PM CST}<", "{8 Dec 1:15 pm CST}"}, {{"12:05 AM EST",
     "12:05 AM EST"}, {"11:59 pm CDT Dec 8, 2026", "11:59 pm CDT"}, {"Dec 8, 6:30 am MST", "6:30 am MST"}}},
    {"visibility", {"Visibility: {10} mile", "Visibility: {3} mile"}, {{"0.5", "0.5 mi"}, {"2 1/2", "2 1/2 mi"}}},
    {"day-3", {">{Wednesday}<", ">{Wednesday}<", ">{Wednesday}<"}, {{"Juneteenth", "Juneteenth"}, {"Martin Luther "
     "King Jr. Day", "Martin Luther King Jr. Day"}, {"Washington&#39;s Birthday", "Washington's Birthday"}}},
    {"code-1", {"wtf/{sct.jpg}", "wtf/{ra.jpg}", "{ovc.jpg}\"><p class=\"short"}, {{"rasn60.jpg", "5"},
     {"nsct.png", "29"}, {"hi_tsra20.jpg", "37"}, {"unheard70.jpg", "30"}}}};

// Weather Underground: the label of the row whose value cell takes the form.
const FormTable kUgRows = {
    {"temperature", "Temperature", {{"<b>-30</b>&nbsp;&#176;F / <b>-34</b>&nbsp;&#176;C", "-30\xA1"},
     {"<b>72&#176;F</b>", "72\xA1"}, {"<b>N/A</b>&nbsp;&#176;F / <b>-4</b>&nbsp;&#176;C", "n/a\xA1"}}},
    {"dewpoint", "Dew Point", {{"<b>-40</b>&nbsp;&#176;F", "-40\xA1"}, {"<b>N/A</b>", ""}}},
    {"humidity", "Humidity", {{"<b>0%</b>", "0"}, {"<b>100</b>%", "100"}, {"<b>Hygrometers</b> 45% off", ""}}},
    {"wind", "Wind", {{"<b>Calm</b>", "Calm"}, {"<b>5</b>&nbsp;mph from the <b>Variable</b>", "Variable 5 MPH"},
     {"<b>12</b>&nbsp;mph from the <b>W</b>, gusting to <b>30</b>&nbsp;mph", "W 12 MPH"},
     {"<b>7</b>&nbsp;mph / <b>11</b>&nbsp;km/h from the <b>NNE</b>", "NNE 7 MPH"}}},
    {"barometer", "Pressure", {{"<b>30.0</b>&nbsp;in / <b>1016</b>&nbsp;hPa", "30.0\""}}},
    {"condition-word", "Conditions", {{"<b>Light Rain Fog/Mist</b>", "Light Rain Fog/Mist"}, {"<b>Rain Boots</b>", ""},
     {"<b>Thunderstorm in Vicinity</b>", "Thunderstorm in Vicinity"}}},
    {"weatherCode", "Conditions", {{"<b>T-Storms</b>", "35"}, {"<b>Snow, Blowing Snow</b>", "14"}}},
    {"visibility", "Visibility", {{"<b>0.5</b>&nbsp;miles", "0.5 mi"}, {"<b>1 1/2</b>", "1 1/2 mi"}}},
    {"sunrise", "Sunrise:", {{"12:05 AM", "12:05 AM"}, {"Sunrise Lamps 6:45 AM", ""}}},
    {"time", "Updated:", {{"12:05 AM CDT Monday January 3, 2005", "January 3, 12:05 AM CDT"}}}};

// Puts the form in as the whole value cell of the row with the label.
bool putInRow(std::string& page, std::string label, const std::string& form) {
    const std::regex row(">" + label + "(</td><td class=\"[a-z]+\">)[^\n]*(</td></tr>)");
    if (!std::regex_search(page, row)) return false;
    page = std::regex_replace(page, row, ">" + label + "$01" + form + "$02");
    return true;
}

// USA Today and AOL: the first text on the page that the form takes the place of.
const FormTable kUsaForms = {
    {"temperature", "72&deg;F", {{"-30&deg;F", "-30\xA1"}, {"120&#176;F", "120\xA1"}, {"72&deg; F", "72\xA1"},
     {"57", "57\xA1"}, {"64\xC2\xB0", "64\xA1"}, {"n/a", "n/a\xA1"}}},
    {"dewpoint", "49&deg;", {{"-40&deg;", "-40\xA1"}, {"Dry", ""}}},
    {"humidity", "45%", {{"0%", "0"}, {"100 %", "100"}, {"Compare 45% off", ""}}},
    {"wind", "CALM", {{"Calm", "Calm"}, {"Variable 5 mph", "Variable 5 mph"}, {"W 12 mph gusting to 30",
     "W 12 mph gusting to 30"}, {"From the West at 10 MPH", "From the West at 10 MPH"}, {"Wind Chimes 3", ""}}},
    {"barometer", "30.05 in.", {{"30.0 in.", "30.0"}, {"29.9&quot;", "29.9"}, {"29.92 inches and rising", "29.92"},
     {"Low", ""}}},
    {"visibility", "10 mi.", {{"0.5 mi.", "0.5"}, {"1 1/2 mi.", "1 1/2"}, {"Fog Lights", ""}}},
    {"time", "3:51 PM EDT", {{"12:05 AM EST", "12:05 AM EST"}, {"11:59 PM", "11:59 PM"}, {"Lamps 6:45 AM", ""}}},
    {"weatherCode", "32.gif\" width=\"64", {{"45.gif\"", "45"}, {"na.gif\"", ""}}},
    {"day-2", "Wednesday", {{"Tuesday", "Tuesday"}, {"Sun", "Sun"}}}, {"code-2", "30.gif", {{"5.gif", "5"}}},
    {"high-1", "75&deg;", {{"-7&deg;", "-7\xA1"}, {"N/A", ""}}}, {"low-1", "58&deg;", {{"-12&#xB0;", "-12\xA1"}}},
    {"high-3", "80&deg;", {{"N/A", "82\xA1"}}}, {"low-3", "62&deg;", {{"--", "64\xA1"}}}};  // the next day's in place
const FormTable kAolForms = {
    {"temperature", "68&deg;F", {{"-30&#176;F", "-30\xA1"}, {"120\xC2\xB0" "F", "120\xA1"}, {"7", "7\xA1"},
     {"68\xB0" "F", "68\xA1"}, {"69\xC2\xA0\xC2\xB0" "F", "69\xA1"}, {"From $9.99", "n/a\xA1"}}},
    {"humidity", "50", {{"0", "0%"}, {"100%", "100%"}, {"N/A", ""}}},
    {"wind", "NW 12 mph", {{"Calm", "Calm"}, {"Variable 5 mph", "Variable 5 mph"}, {"N 10 G 25 MPH", "N 10 G 25 MPH"},
     {"From the West at 10 MPH", "From the West at 10 MPH"}, {"Wind Chimes 3 for $12", ""}}},
    {"barometer", "30.12 in", {{"30.0 in", "30.0"}, {"29.92&quot;", "29.92"}, {"30.1 in and rising", "30.1"},
     {"Barometers 30% off", ""}}},
    {"visibility", "10 mi", {{"0.5 mi", "0.5"}, {"1/4 mi", "1/4"}, {"1 1/2 miles", "1 1/2"}, {"Fog Lights 9 mi", ""}}},
    {"time", "4:53 pm CST", {{"12:05 AM", "12:05 AM"}, {"11:59 pm EDT", "11:59 pm EDT"}, {"Compare 45% off", ""}}},
    {"weatherCode", "wx/30.gif", {{"wx/0.gif", "0"}, {"wx/47.gif", "47"}, {"ads/sale.gif", ""}}},
    {"code-1", "wx/32.gif", {{"wx/46.gif", "46"}}}, {"day-1", "Tuesday", {{"Today", "Today"}, {"Tue", "Tue"}}},
    {"high-1", "Hi 75&deg;", {{"Hi 120&deg;", "120\xA1"}, {"Hi N/A", ""}}},
    {"low-1", "Lo 58&deg;", {{"Lo -40&#176;", "-40\xA1"}}},  // a missing high or low leaves the next day's in place:
    {"high-2", "Hi 75&deg;", {{"Hi --", "77\xA1"}}}, {"low-2", "Lo 58&deg;", {{"Lo N/A", "60\xA1"}}}};

}  // namespace

TEST(NwsValueForms, EachFormGivesTheTextTheMenuShows) {
    nwstest::NwsFixture fixture;  // pins the clock
    for (size_t i = 0; i < std::size(kNwsPages); ++i) {
        FormTable table;
        for (const auto& [name, slots, forms] : kNwsKeys) {
            if (i < slots.size()) table.emplace_back(name, slots[i], forms);
        }
        const auto& [key, path, file, station] = kNwsPages[i];
        const std::string report = std::string(station) + ".TXT";
        expectFormsShown(*fixture.scraper, nwstest::key(key),
                         {{"www.crh.noaa.gov", path, fixtureText(std::string("nws/forecast/") + file)},
                          {NwsScraper::kObservationHost, "/pub/data/observations/metar/decoded/" + report,
                           fixtureText("nws/observations/" + report)}}, table);
    }
}

TEST(UgValueForms, EachFormOnThePageIsShownAsTheMenuWritesIt) {
    LogCapture log;
    UgScraper scraper(shippedConfig("u1"), shippedConfig("u2"));
    expectFormsShown(scraper, nwstest::key({"US", "KS", "Wichita"}),
                     {{"www.wunderground.com", "/US/KS/Wichita.html", fixtureText("ug/US/KS/Wichita.html")}}, kUgRows,
                     putInRow);
}

TEST(UsaValueForms, EachFormGivesTheTextShownOrNone) {
    UsaScraper scraper(shippedConfig("t1"), shippedConfig("t2"));
    const std::string path = "/weather/forecast/wcurrent.aspx?LocationID=USNY0996";
    expectFormsShown(scraper, "USNY0996", {{"www.usatoday.com", path, fixtureText("usa" + path)}}, kUsaForms);
}

TEST(AolValueForms, EachFormIsShownAsTheMenuShowsIt) {
    AolScraper scraper(shippedConfig("a1"), shippedConfig("a2"));
    const std::string path = "/main.adp?location=USIL0225";
    expectFormsShown(scraper, "USIL0225", {{"weather.aol.com", path, fixtureText("aol" + path)}}, kAolForms);
}
