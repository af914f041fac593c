// Each form real weather-service pages write a value in, put on the source's point, area or latitude/longitude page
// (or its station report) and scraped through the fixture server, gives the text the menu shows, as it shows it today.

#include <gtest/gtest.h>

#include "NwsTestSupport.h"

namespace {

// The weather service's pages: location key, path, fixture file, and the station report served beside the page
// (the last page reads none).
struct Page {
    std::vector<std::string> key;
    const char *path, *file, *station;
};
const Page kPages[] = {
    {{"ifps", "crh", "Des+Moines", "IA", "DMX"}, "/ifps/MapClick.php", "point_des_moines.html", "KDSM"},
    {{"total_forecast", "springfield, il", "crh", "ilx", "ILZ051", "ILC167"}, "/total_forecast/index.php",
     "total_forecast_springfield.html", "KSPI"},
    {{"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}, "/port/MapClick.php", "latlon_ankeny.html", "KDSM"}};

// A key as shown (code-1: the first forecast period's icon code, day-3: the third period's name), where its value sits on each page above (the text
// around it, the value in braces; none: the page lacks it), and its forms as a page writes them -> as the menu shows
// them (degree sign 0xA1).
const std::vector<std::tuple<std::string, std::vector<std::string>, ValueForms>> kKeys{
    {"weatherCode", {">{Partly Cloudy}<", ">{Light Rain}<", ">{Overcast}<"}, {{"Light Rain Fog/Mist", "12"},
     {"Snow, Blowing Snow", "15"}, {"Freezing Drizzle", "8"}, {"T-storms", "4"}, {"Thunderstorm Heavy Rain", "4"},
     {"Partly Cloudy and Windy", "30"}, {"Showers in Vicinity", "11"}, {"A Few Clouds with Haze", "34"},
     {"Light Rain and Snow", "5"}, {"Ice Pellets", "18"}, {"Haze", "21"}, {"Funnel Cloud", "0"},
     {"Snow Showers", "46"}, {"Blowing Widespread Dust", "19"}, {"Light Rain Showers", "11"}, {"Snow Grains", "14"},
     {"Duststorm", "19"}, {"Cloudy", "26"}}},
    {"temperature", {">{30&deg;F}<", ">{45&deg;F}<", ">{27&deg;F}<"}, {{"-40&deg;F", "-40\xA1"},
     {"120&deg;F", "120\xA1"}, {"72", "72\xA1"}, {"61\xB0" "F", "61\xA1"}, {"-5 &#176;F", "-5\xA1"}, {"0&deg;F (-18&deg;C)", "0\xA1"},
     {"98\xC2\xB0" "F", "98\xA1"}}},
    {"dewpoint", {"{21&deg;F (-6&deg;C)}", ": {43&deg;F}<", "{20&deg;F (-7&deg;C)}"},
     {{"-40&deg;F (-40&deg;C)", "-40\xA1"}, {"75", "75\xA1"}, {"5&#xB0;F", "5\xA1"}}},
    {"humidity", {">{69%}<", ">Humidity: {93%}<", ">{74%}<"}, {{"0%", "0%"}, {"100%", "100%"}, {"45 %", "45%"}}},
    {"wind", {">{NW 15 MPH}<", ">Wind: {E 8 MPH}<", ">{S 9 MPH}<"}, {{"Calm", "Calm"},
     {"Variable 5 mph", "Variable 5 mph"}, {"N 10 G 25 MPH", "N 10 G 25 MPH"},
     {"W 12 mph gusting to 30", "W 12 mph gusting to 30"}, {"VRB 5 KT", "VRB 5 KT"},
     {"From the West at 10 MPH", "From the West at 10 MPH"}, {"Variable at 3 MPH (3 KT)", "Variable at 3 MPH (3 KT)"},
     {"From the Northwest at 9 Gusting to 20 MPH (8 Gusting to 17 KT)",
      "From the Northwest at 9 Gusting to 20 MPH (8 Gusting to 17 KT)"}}},
    {"barometer", {"{30.12&quot; (1019.9 mb)}", "{29.85&quot;}", "{30.05&quot; (1017.6 mb)}"},
     {{"30.0&quot;", "30.0\""}, {"29.9&quot; (1012.5 mb)", "29.9\""}, {"29.92&#34;", "29.92\""},
     {"30.01&#x22;", "30.01\""}, {"29.92 inHg (1013.2 hPa)", "29.92\""}, {"1012.5 mb", "29.90\""}}},
    {"time", {"{10:53 am CST Dec 8, 2026}", ": {3:53 PM CST}<", "{8 Dec 1:15 pm CST}"},
     {{"12:05 AM EST", "12:05 AM EST"}, {"11:59 pm CDT Dec 8, 2026", "11:59 pm CDT"},
     {"Dec 8, 6:30 am MST", "6:30 am MST"}}},
    {"visibility", {"Visibility: {10} mile", "Visibility: {3} mile"}, {{"10", "10 mi"}, {"0.5", "0.5 mi"},
     {"1/4", "1/4 mi"}, {"2 1/2", "2 1/2 mi"}}},
    {"day-3", {">{Wednesday}<", ">{Wednesday}<", ">{Wednesday}<"}, {{"Martin Luther King Jr. Day",
     "Martin Luther King Jr. Day"}, {"Juneteenth", "Juneteenth"}, {"Washington's Birthday", "Washington's Birthday"},
     {"Washington&#39;s Birthday", "Washington's Birthday"}}},
    {"code-1", {"wtf/{sct.jpg}", "wtf/{ra.jpg}", "{ovc.jpg}\"><p class=\"short"}, {{"rasn60.jpg", "5"},
     {"nfzra60.jpg", "10"}, {"ip.jpg", "18"}, {"raip50.jpg", "6"}, {"snip.jpg", "7"}, {"scttsra40.jpg", "38"},
     {"hi_tsra20.jpg", "37"}, {"hz.jpg", "21"}, {"fu.jpg", "22"}, {"du.jpg", "19"}, {"hot.jpg", "36"},
     {"ncold.jpg", "25"}, {"blizzard.jpg", "15"}, {"fg.jpg", "20"}, {"wind.jpg", "24"}, {"shra.jpg", "11"},
     {"hi_shwrs30.jpg", "39"}, {"nsct.png", "29"}, {"ntor.jpg", "0"}, {"unheard70.jpg", "30"}}},
};

}  // namespace

TEST(NwsValueForms, EachFormGivesTheTextTheMenuShows) {
    nwstest::NwsFixture fixture;
    for (size_t i = 0; i < std::size(kPages); ++i) {
        const Page& page = kPages[i];
        FormTable table;  // the keys the page shows, each with its slot there
        for (const auto& [name, slots, forms] : kKeys) {
            if (i < slots.size()) table.emplace_back(name, slots[i], forms);
        }
        const std::string report = std::string(page.station) + ".TXT";
        expectFormsShown(fixture.server, *fixture.scraper, nwstest::key(page.key),
                         {{"www.crh.noaa.gov", page.path, fixtureText(std::string("nws/forecast/") + page.file)},
                          {NwsScraper::kObservationHost, "/pub/data/observations/metar/decoded/" + report,
                           fixtureText("nws/observations/" + report)}},
                         table, "<absent>");
    }
}
