// Each form real weather-service pages write a value in, put on the source's point, area or latitude/longitude page
// (or its station report) and scraped through the fixture server, gives the text the menu shows, as it shows it today.

#include <gtest/gtest.h>

#include "NwsTestSupport.h"

namespace {

struct Page {
    std::vector<std::string> key;
    const char *path, *file, *station;  // the station report served beside the page (the last page reads none)
};
const Page kPoint{{"ifps", "crh", "Des+Moines", "IA", "DMX"}, "/ifps/MapClick.php", "point_des_moines.html", "KDSM"};
const Page kArea{{"total_forecast", "springfield, il", "crh", "ilx", "ILZ051", "ILC167"}, "/total_forecast/index.php",
                 "total_forecast_springfield.html", "KSPI"};
const Page kLatLon{{"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}, "/port/MapClick.php", "latlon_ankeny.html",
                   "KDSM"};

// A key as shown (code-1: the first forecast period's icon code), where its value sits on each page (the text
// around it, the value in braces), and its forms as a page writes them -> as the menu shows them (degree sign 0xA1).
struct Key {
    std::string name;
    std::vector<std::pair<const Page*, std::string>> slots;
    std::vector<std::pair<std::string, std::string>> forms;
};

const std::vector<Key> kKeys{
    {"weatherCode", {{&kPoint, ">{Partly Cloudy}<"}, {&kArea, ">{Light Rain}<"}, {&kLatLon, ">{Overcast}<"}},
     {{"Light Rain Fog/Mist", "12"}, {"Snow, Blowing Snow", "15"}, {"Freezing Drizzle", "8"}, {"T-storms", "4"},
      {"Thunderstorm Heavy Rain", "4"}, {"Partly Cloudy and Windy", "30"}, {"Showers in Vicinity", "11"},
      {"A Few Clouds with Haze", "34"}, {"Light Rain and Snow", "5"}, {"Ice Pellets", "18"}, {"Haze", "21"},
      {"Funnel Cloud", "0"}, {"Snow Showers", "46"}}},
    {"temperature", {{&kPoint, ">{30&deg;F}<"}, {&kArea, ">{45&deg;F}<"}, {&kLatLon, ">{27&deg;F}<"}},
     {{"-40&deg;F", "-40\xA1"}, {"120&deg;F", "120\xA1"}, {"72", "72\xA1"}, {"-5 &#176;F", "-5\xA1"},
      {"0&deg;F (-18&deg;C)", "0\xA1"}, {"98\xC2\xB0" "F", "98\xA1"}}},
    {"dewpoint", {{&kPoint, "{21&deg;F (-6&deg;C)}"}, {&kArea, ": {43&deg;F}<"}, {&kLatLon, "{20&deg;F (-7&deg;C)}"}},
     {{"-40&deg;F (-40&deg;C)", "-40\xA1"}, {"75", "75\xA1"}, {"5&#xB0;F", "5\xA1"}}},
    {"humidity", {{&kPoint, ">{69%}<"}, {&kArea, ">Humidity: {93%}<"}, {&kLatLon, ">{74%}<"}},
     {{"0%", "0%"}, {"100%", "100%"}, {"45 %", "45%"}}},
    {"wind", {{&kPoint, ">{NW 15 MPH}<"}, {&kArea, ">Wind: {E 8 MPH}<"}, {&kLatLon, ">{S 9 MPH}<"}},
     {{"Calm", "Calm"}, {"Variable 5 mph", "Variable 5 mph"}, {"N 10 G 25 MPH", "N 10 G 25 MPH"},
      {"W 12 mph gusting to 30", "W 12 mph gusting to 30"}, {"VRB 5 KT", "VRB 5 KT"}}},
    {"barometer",
     {{&kPoint, "{30.12&quot; (1019.9 mb)}"}, {&kArea, "{29.85&quot;}"}, {&kLatLon, "{30.05&quot; (1017.6 mb)}"}},
     {{"30.0&quot;", "30.0\""}, {"29.9&quot; (1012.5 mb)", "29.9\""}, {"29.92&#34;", "29.92\""},
      {"30.01&#x22;", "30.01\""}, {"29.92 inHg (1013.2 hPa)", "29.92\""}, {"1012.5 mb", "29.90\""}}},
    {"time", {{&kPoint, "{10:53 am CST Dec 8, 2026}"}, {&kArea, ": {3:53 PM CST}<"}, {&kLatLon, "{8 Dec 1:15 pm CST}"}},
     {{"12:05 AM EST", "12:05 AM EST"}, {"11:59 pm CDT Dec 8, 2026", "11:59 pm CDT"},
      {"Dec 8, 6:30 am MST", "6:30 am MST"}}},
    {"visibility", {{&kPoint, "Visibility: {10} mile"}, {&kArea, "Visibility: {3} mile"}},
     {{"10", "10 mi"}, {"0.5", "0.5 mi"}, {"1/4", "1/4 mi"}, {"2 1/2", "2 1/2 mi"}}},
    {"code-1", {{&kPoint, "wtf/{sct.jpg}"}, {&kArea, "wtf/{ra.jpg}"}, {&kLatLon, "{ovc.jpg}\"><p class=\"short"}},
     {{"rasn60.jpg", "5"}, {"nfzra60.jpg", "10"}, {"ip.jpg", "18"}, {"raip50.jpg", "6"}, {"snip.jpg", "7"},
      {"scttsra40.jpg", "38"}, {"hi_tsra20.jpg", "37"}, {"hz.jpg", "21"}, {"fu.jpg", "22"}, {"du.jpg", "19"},
      {"hot.jpg", "36"}, {"ncold.jpg", "25"}, {"blizzard.jpg", "15"}, {"fg.jpg", "20"}, {"wind.jpg", "24"},
      {"shra.jpg", "11"}, {"hi_shwrs30.jpg", "39"}, {"nsct.png", "29"}, {"ntor.jpg", "0"}, {"unheard70.jpg", "30"}}},
};

// Puts the form in place of the slot's value in the text; false when the text does not hold the slot.
bool put(std::string& text, std::string slot, const std::string& form) {
    const size_t open = slot.find('{'), close = slot.find('}'), at = text.find(slot.erase(close, 1).erase(open, 1));
    return at != std::string::npos && (text.replace(at + open, close - open - 1, form), true);
}

}  // namespace

TEST(NwsValueForms, EachFormGivesTheTextTheMenuShows) {
    nwstest::NwsFixture fixture;
    for (const Key& key : kKeys) {
        for (const auto& [page, slot] : key.slots) {
            for (const auto& [form, shown] : key.forms) {
                std::string html = fixtureText(std::string("nws/forecast/") + page->file);
                const std::string station = page->station;
                std::string report = fixtureText("nws/observations/" + station + ".TXT");
                ASSERT_TRUE(put(html, slot, form) || put(report, slot, form)) << slot;
                fixture.server.route("www.crh.noaa.gov", page->path, FixtureReply::page(html));
                const std::string reportPath = "/pub/data/observations/metar/decoded/" + station + ".TXT";
                fixture.server.route(NwsScraper::kObservationHost, reportPath, FixtureReply::page(report));
                ScrapeReport scraped;
                ASSERT_EQ(fixture.scraper->scrape(nwstest::key(page->key), scraped), 0);
                const StringMap display = scraped.getDisplayableHash(UnitConverter::None);
                EXPECT_EQ(display.count(key.name) ? display.at(key.name) : "<absent>", shown) << slot << " " << form;
            }
        }
    }
}
