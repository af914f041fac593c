// Location keys of the National Weather Service source: links to keys, keys
// to display names, and the text helpers behind them.

#include <gtest/gtest.h>

#include "NwsTestSupport.h"

using nwstest::key;

namespace {

std::vector<std::string> partsOf(const std::string& joined) {
    std::vector<std::string> parts;
    SuperScraper::splitKey(joined, parts);
    return parts;
}

std::string nameOf(NwsScraper& scraper, const std::string& joined) {
    std::string name = "untouched";
    EXPECT_TRUE(scraper.keyToCityName(joined, name)) << joined;
    return name;
}

}  // namespace

TEST(NwsKeys, ForecastLinksBecomeKeysWithTheirNames) {
    auto scraper = nwstest::makeScraper();
    const std::string ifps = "http://www.crh.noaa.gov/ifps/MapClick.php?CityName=";
    const std::string zone = "http://www.crh.noaa.gov/total_forecast/index.php?wfo=sgf&zone=MOZ082&county=MOC077";
    const std::string data = "http://www.nws.noaa.gov/data/forecasts/";
    const std::string name50(50, 'a');
    struct Case {
        std::string url, searchName;
        std::vector<std::string> parts;
        std::string name;
    };
    for (const Case& c : std::vector<Case>{
             {ifps + "Des+Moines&state=IA&site=DMX", "ignored", {"ifps", "crh", "Des+Moines", "IA", "DMX"},
              "Des Moines, IA"},
             {ifps + name50 + "&state=IA&site=DMX", "", {"ifps", "crh", name50, "IA", "DMX"}, ""},
             // The search name is kept; with a comma it carries its own state.
             {zone, "springfield, mo", {"total_forecast", "springfield, mo", "crh", "sgf", "MOZ082", "MOC077"},
              "Springfield, MO"},
             {data + "TXZ205.php?warncounty=TXC029&city=San+Antonio%28Downtown%29", "",
              {"TXZ205", "TXC029", "San+Antonio%28Downtown%29"}, "San Antonio(Downtown), TX"},
             // The city runs to the next "&".
             {data + "MAZ011.php?warncounty=MAC013&city=Salem&x=1", "", {"MAZ011", "MAC013", "Salem"}, ""},
         }) {
        std::string k;
        ASSERT_TRUE(scraper->urlToKey(c.url, c.searchName, k, "")) << c.url;
        EXPECT_EQ(partsOf(k), c.parts) << c.url;
        if (!c.name.empty()) {
            EXPECT_EQ(nameOf(*scraper, k), c.name);
        }
    }
    // A zone key whose name has no comma gets the zone's state letters.
    EXPECT_EQ(nameOf(*scraper, key({"total_forecast", "west springfield", "erh", "box", "maz011", "MAC013"})),
              "West Springfield, MA");

    // Refused: a city name of 51 letters or a one-letter state, another
    // domain or a six-letter region label, a zone of five characters, a
    // lower-case zone, a page that is no forecast, the key separator in the
    // link or the search name, and an empty last part (it would vanish when
    // the key is read back). No later pattern takes any of them.
    std::string k = "before";
    for (const auto& [url, searchName] : std::vector<std::pair<std::string, std::string>>{
             {ifps + name50 + "a&state=IA&site=DMX", ""},
             {ifps + "Ames&state=I&site=DMX", ""},
             {"http://www.crh.example.gov/ifps/MapClick.php?CityName=Ames&state=IA&site=DMX", ""},
             {"http://www.abcdef.noaa.gov/ifps/MapClick.php?CityName=Ames&state=IA&site=DMX", ""},
             {"http://www.crh.noaa.gov/total_forecast/index.php?wfo=sgf&zone=MOZ08&county=MOC077", "x"},
             {data + "maz011.php?warncounty=MAC013&city=Salem", ""},
             {"http://www.example.com/travel/springfield.html", "Springfield"},
             {data + "MAZ011.php?warncounty=MAC013&city=Sa\x01lem", ""},
             {zone, "a\x01" "b"},
             {data + "MAZ011.php?warncounty=MAC013&city=", ""},
         }) {
        EXPECT_FALSE(scraper->urlToKey(url, searchName, k, "")) << url;
    }
    EXPECT_EQ(k, "before");
}

TEST(NwsKeys, LatLonNamesAndRefusedKeys) {
    auto scraper = nwstest::makeScraper();
    EXPECT_EQ(nameOf(*scraper, key({"ll", "Springfield%2C+or", "wrh", "PQR", "44.05", "-123.02"})),
              "Springfield, OR");
    EXPECT_EQ(nameOf(*scraper, key({"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"})), "Ankeny, IA");
    EXPECT_EQ(nameOf(*scraper, key({"ll", "Fort+Dodge", "crh", "DMX", "42.5", "-94.2"})), "Fort Dodge");
    // Three pieces after the comma rule: the whole text is the city.
    EXPECT_EQ(nameOf(*scraper, key({"ll", "a%2C+b%2C+c", "crh", "DMX", "1", "2"})), "a, b, c");

    // Every form has its own number of parts; no key reads past its parts.
    std::string name = "untouched";
    for (const std::string& bad :
         {std::string(), key({"ifps", "crh", "Ames", "IA"}), key({"ifps", "crh", "Ames", "IA", "DMX", "x"}),
          key({"total_forecast", "a", "b", "c", "d"}), key({"ll", "a", "b", "c", "d"}),
          key({"MAZ011", "MAC013"}), key({"MAZ011", "MAC013", "Salem", "x", "y"}),
          key({"a", "b", "c", "d", "e", "f", "g"})}) {
        EXPECT_FALSE(scraper->keyToCityName(bad, name));
    }
    EXPECT_EQ(name, "untouched");
    // A zone key with a one-letter zone still has a (short) state.
    EXPECT_EQ(nameOf(*scraper, key({"M", "MAC013", "Salem"})), "Salem, M");

    std::vector<SuperScraper::City> cities;
    EXPECT_FALSE(scraper->insertCityFromKey(key({"ifps", "crh"}), cities));
    EXPECT_TRUE(cities.empty());
    EXPECT_TRUE(scraper->insertCityFromKey(key({"ifps", "crh", "Ames", "IA", "DMX"}), cities));
    ASSERT_EQ(cities.size(), 1u);
    EXPECT_EQ(cities[0].name, "Ames, IA");
    EXPECT_EQ(cities[0].key, key({"ifps", "crh", "Ames", "IA", "DMX"}));
}

TEST(NwsKeys, TextCoordinatesAndTimes) {
    EXPECT_EQ(NwsScraper::capitalizeString("springfield, il", false), "Springfield, IL");
    EXPECT_EQ(NwsScraper::capitalizeString("mcALLEN  tx", false), "McALLEN  Tx");
    EXPECT_EQ(NwsScraper::capitalizeString("abc", true), "ABC");
    EXPECT_EQ(NwsScraper::capitalizeString("", false), "");
    EXPECT_EQ(NwsScraper::unscreamifyText("DENVER"), "Denver");
    EXPECT_EQ(NwsScraper::unscreamifyText("dENVER"), "denver");
    EXPECT_EQ(NwsScraper::unscreamifyText(""), "");

    EXPECT_NEAR(NwsScraper::convertLongLatToFloat("41-32-02N"), 41.5333f, 1e-3);
    EXPECT_NEAR(NwsScraper::convertLongLatToFloat("093-39-11W"), -93.65f, 1e-3);
    EXPECT_NEAR(NwsScraper::convertLongLatToFloat("29-32S"), -29.5333f, 1e-3);
    EXPECT_FLOAT_EQ(NwsScraper::convertLongLatToFloat(""), 0.0f);

    auto scraper = nwstest::makeScraper();
    struct Case {
        const char* text;
        int offset, hour, minute;  // offset 99: the text is refused
    };
    for (const Case& c : {Case{"10:53 am CDT", -6, 10, 53}, Case{"12:05 am EST", -5, 0, 5},
                          Case{"12:30 PM EST", -5, 12, 30}, Case{"1:15 pm PST", -8, 13, 15},
                          Case{"17:40 MDT", -7, 17, 40}, Case{"Updated 9:52 pm KST", -8, 21, 52},
                          Case{"9:52 pm HST", -10, 21, 52}, Case{"9:52 pm AKST", 99, 99, 99},
                          Case{"10:53 am GMT", 99, 99, 99}, Case{"noon", 99, 99, 99}, Case{"", 99, 99, 99}}) {
        std::map<std::string, std::string> out{{"time", c.text}};
        int offset = 99, hour = 99, minute = 99;
        EXPECT_EQ(scraper->getTimezoneAndDate(out, offset, hour, minute), c.offset != 99) << c.text;
        if (c.offset != 99) {
            EXPECT_EQ((std::vector{offset, hour, minute}), (std::vector{c.offset, c.hour, c.minute})) << c.text;
        }
    }
    std::map<std::string, std::string> none;
    int offset, hour, minute;
    EXPECT_FALSE(scraper->getTimezoneAndDate(none, offset, hour, minute));

    // Unknown zone letters and the empty zone fall back to Pacific time.
    EXPECT_EQ(scraper->convertTimezoneToGMTOffset("EDT"), -5);
    EXPECT_EQ(scraper->convertTimezoneToGMTOffset("XST"), -8);
    EXPECT_EQ(scraper->convertTimezoneToGMTOffset(""), -8);
}

TEST(NwsKeys, ConditionRules) {
    auto scraper = nwstest::makeScraper();
    const scraperConfig& rules = scraper->scrapeConfig();
    EXPECT_EQ(NwsScraper::matchCondition(rules, "Partly Cloudy"), "30");
    EXPECT_EQ(NwsScraper::matchCondition(rules, "LIGHT RAIN"), "12");
    EXPECT_EQ(NwsScraper::matchCondition(rules, "Thunderstorm in Vicinity Rain"), "4");
    EXPECT_EQ(NwsScraper::matchCondition(rules, "NA"), "32");  // condmap-1 is the default

    // An entry without "|" neither matches nor stops the walk.
    scraperConfig broken("condmap-1=Fair|32\ncondmap-2=Rain\ncondmap-3=Snow|14\n");
    EXPECT_EQ(NwsScraper::matchCondition(broken, "Snow"), "14");
    EXPECT_EQ(NwsScraper::matchCondition(broken, "Rain"), "32");
    // Without condmap-1 there is no default; a gap ends the rules.
    EXPECT_EQ(NwsScraper::matchCondition(scraperConfig("condmap-2=Rain|39\n"), "Rain"), "");
    EXPECT_EQ(NwsScraper::matchCondition(scraperConfig(""), "Rain"), "");
}
