// Scrapes of every National Weather Service key form through the loopback
// fixture server, checked value by value: page values, the station report,
// time zone and night flag, condition codes, warnings and the forecast.

#include <gtest/gtest.h>

#include <thread>

#include "LogCapture.h"
#include "NwsTestSupport.h"
#include "util/regex.h"

using nwstest::key;

namespace {

const char* const kObservationPath = "/pub/data/observations/metar/decoded/";
const char* const kDesMoinesPath = "/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX";

std::string readFixture(const std::string& name) { return fixtureText("nws/" + name); }

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string valueOf(const StringMap& table, const std::string& name) {
    return table.count(name) ? table.at(name) : "<absent>";
}

void expectValues(const StringMap& table, const std::vector<std::pair<std::string, std::string>>& expected) {
    for (const auto& [name, value] : expected) EXPECT_EQ(valueOf(table, name), value) << name;
}

bool isClockText(const std::string& text) { return regex::match("^[0-9]{1,2}:[0-9]{2} (AM|PM)$", text, 1); }

struct NwsScrape : ::testing::Test, nwstest::NwsFixture {
    const std::string desMoines = key({"ifps", "crh", "Des+Moines", "IA", "DMX"});
    const std::string sanAntonio = key({"TXZ205", "TXC029", "San+Antonio"});

    void serveStation(const std::string& station) {
        server.routeFile(NwsScraper::kObservationHost, kObservationPath + station + ".TXT",
                         "observations/" + station + ".TXT");
    }
    void serveDesMoines(const std::string& page) {
        server.route("www.crh.noaa.gov", kDesMoinesPath, FixtureReply::page(page));
        serveStation("KDSM");
    }
    void serveSanAntonio() {
        server.routeFile("www.nws.noaa.gov", "/data/forecasts/TXZ205.php?warncounty=TXC029&city=San+Antonio",
                         "forecast/zone_san_antonio.html");
        serveStation("KSAT");
    }
};

}  // namespace

TEST_F(NwsScrape, PointForecastPageByDayAsPrimaryAndFavorite) {
    serveDesMoines(readFixture("forecast/point_des_moines.html"));
    ScrapeReport report;
    ASSERT_EQ(scraper->scrape(desMoines, report), 0);
    const StringMap& out = report.getOutputHashRef();

    expectValues(report.getDisplayHashRef(), {{"credit", "National Weather Service"}, {"fetch-host", "www.crh.noaa.gov"},
                                              {"url", std::string("http://www.crh.noaa.gov") + kDesMoinesPath}});
    // The barometer's &quot; inch mark is cleaned; visibility comes from the
    // station report; code 30 is Partly Cloudy by day.
    expectValues(out, {{"temperature", "30"}, {"humidity", "69%"}, {"wind", "NW 15 MPH"}, {"dewpoint", "21"},
                       {"barometer", "30.12\""}, {"visibility", "10 mi"}, {"metar", "KDSM"},
                       {"time", "10:53 am CST"}, {"gmtOffset", "-6"}, {"zoneString", "CST"}, {"nighttime", "no"},
                       {"weatherCode", "30"}, {"feels_like", "19"}});
    for (const char* sun : {"sunrise", "sunset"}) EXPECT_TRUE(isClockText(valueOf(out, sun))) << valueOf(out, sun);

    // The first link with both a type and a severity wins, in page order:
    // the winter storm watch has no type, the tornado warning comes later.
    expectValues(out, {{"warn-type", "flood"}, {"warn-severity", "watch"}, {"warn-desc", "Flood+Watch"},
                       {"day-1", "Today"}, {"code-1", "30"}, {"high-1", "34"}, {"low-1", ""},
                       {"day-2", "Tonight"}, {"code-2", "27"}, {"high-2", ""}, {"low-2", "21"},
                       {"day-3", "Wednesday"}, {"code-3", "14"}, {"high-3", "29"}, {"low-3", "12"},
                       {"day-4", "Thursday"}, {"code-4", "34"}, {"high-4", "25"}, {"low-4", "5"}, {"day-5", ""}});
    EXPECT_EQ(report.score(), 100);

    // A favourite scores only its own tokens; the station report still adds
    // visibility and sun times.
    ScrapeReport favorite;
    favorite.setInput("isFavorite", "1");
    ASSERT_EQ(scraper->scrape(desMoines, favorite), 0);
    EXPECT_EQ(valueOf(favorite.getInputHashRef(), "in_tokens"), "time,metar,weatherCode,temperature,warninglink");
    expectValues(favorite.getOutputHashRef(),
                 {{"temperature", "30"}, {"weatherCode", "30"}, {"warn-type", "flood"}, {"humidity", "<absent>"},
                  {"forecast-info-1", "<absent>"}, {"day-1", ""}, {"visibility", "10 mi"}, {"nighttime", "no"}});
    EXPECT_EQ(favorite.score(), 100);
    // A primary scrape with the same report scores every chunk again.
    favorite.setInput("isFavorite", "0");
    ASSERT_EQ(scraper->scrape(desMoines, favorite), 0);
    EXPECT_EQ(valueOf(favorite.getInputHashRef(), "in_tokens"), "");
    EXPECT_EQ(valueOf(favorite.getOutputHashRef(), "humidity"), "69%");
}

TEST_F(NwsScrape, ZoneTotalForecastAndLatLonPages) {
    // A zone page at night, with a three-letter station; its outlook names
    // no type and is passed over. Code 32 (Clear) becomes 31 at night.
    serveSanAntonio();
    ScrapeReport zone;
    ASSERT_EQ(scraper->scrape(sanAntonio, zone), 0);
    expectValues(zone.getOutputHashRef(),
                 {{"metar", "SAT"}, {"visibility", "7 mi"}, {"time", "9:52 pm CST"}, {"nighttime", "yes"},
                  {"weatherCode", "31"}, {"wind", "Calm"}, {"barometer", "29.98\""}, {"warn-type", "tstorms"},
                  {"warn-severity", "warning"}, {"warn-desc", "Severe+Thunderstorm+Warning"},
                  {"day-1", "Tonight"}, {"code-1", "33"}, {"low-1", "49"}, {"day-2", "Wednesday"},
                  {"code-2", "4"}, {"high-2", "77"}, {"low-2", "55"}, {"day-3", "Thursday"}, {"day-4", ""}});

    // The total forecast page has a configuration of its own.
    server.routeFile("www.crh.noaa.gov", "/total_forecast/index.php?wfo=ilx&zone=ILZ051&county=ILC167",
                     "forecast/total_forecast_springfield.html");
    serveStation("KSPI");
    ScrapeReport total;
    ASSERT_EQ(scraper->scrape(key({"total_forecast", "springfield, il", "crh", "ilx", "ILZ051", "ILC167"}), total),
              0);
    expectValues(total.getOutputHashRef(),
                 {{"metar", "KSPI"}, {"temperature", "45"}, {"humidity", "93%"}, {"wind", "E 8 MPH"},
                  {"barometer", "29.85\""}, {"visibility", "3 mi"}, {"weatherCode", "12"}, {"nighttime", "no"},
                  {"warn-type", "freeze"}, {"warn-severity", "warning"}, {"day-1", "This Afternoon"},
                  {"code-1", "12"}, {"high-1", "45"}, {"day-2", "Tonight"}, {"low-2", "37"},
                  {"day-3", "Wednesday"}, {"code-3", "26"}, {"low-3", "23"}, {"day-4", "Thursday"},
                  {"high-4", "33"}});

    // The latitude/longitude page takes its coordinates from the key; there
    // is no station report for this form, and no complaint about it.
    server.clearRequests();
    server.routeFile("www.crh.noaa.gov", "/port/MapClick.php?site=DMX&textField1=41.73&textField2=-93.6",
                     "forecast/latlon_ankeny.html");
    LogCapture log;
    ScrapeReport latLon;
    ASSERT_EQ(scraper->scrape(key({"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}), latLon), 0);
    const StringMap& out = latLon.getOutputHashRef();
    expectValues(out, {{"latitude", "41.73"}, {"longitude", "-93.6"}, {"time", "1:15 pm CST"}, {"nighttime", "no"},
                       {"weatherCode", "26"}, {"temperature", "27"}, {"warn-type", "nado"},
                       {"warn-severity", "watch"}, {"day-2", "Tonight"}, {"code-2", "14"}, {"low-2", "18"},
                       {"low-3", "9"}});
    EXPECT_TRUE(isClockText(valueOf(out, "sunset")));
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(log.output().find("no metar key"), std::string::npos);
}

TEST_F(NwsScrape, StationProblemsOnlyLeaveOutTheirValues) {
    const std::string page = readFixture("forecast/point_des_moines.html");
    std::string logged;
    auto scrapeLogged = [&] {
        LogCapture log;
        ScrapeReport report;
        EXPECT_EQ(scraper->scrape(desMoines, report), 0);
        logged = log.output();
        return report.getOutputHashRef();
    };
    for (const std::string station : {"XX", "KDSMXX"}) {
        serveDesMoines(replaced(page, "KDSM", station));
        expectValues(scrapeLogged(), {{"visibility", "<absent>"}, {"nighttime", "<absent>"}, {"weatherCode", "30"}});
        EXPECT_NE(logged.find("bad metar key [" + station + "]\n"), std::string::npos) << station;
    }
    {  // Only letters and digits reach the report's path.
        LogCapture log;
        StringMap out;
        std::string station = "K/..";
        EXPECT_FALSE(scraper->decodeObservations(station, out));
        EXPECT_NE(log.output().find("bad metar key [K/..]\n"), std::string::npos);
    }
    EXPECT_EQ(server.requests().size(), 2u);  // only the two pages

    // A page without a station link.
    const size_t row = page.find("<tr><td class=\"station\">");
    ASSERT_NE(row, std::string::npos);
    serveDesMoines(page.substr(0, row) + page.substr(page.find("</tr>", row) + 5));
    EXPECT_EQ(valueOf(scrapeLogged(), "temperature"), "30");
    EXPECT_NE(logged.find("no metar key for key=[" + desMoines + "]\n"), std::string::npos);

    // The station report cannot be fetched.
    serveDesMoines(page);
    const std::string report = std::string(kObservationPath) + "KDSM.TXT";
    server.route(NwsScraper::kObservationHost, report, FixtureReply::redirect("https://weather.noaa.gov/elsewhere.TXT"));
    EXPECT_EQ(valueOf(scrapeLogged(), "visibility"), "<absent>");
    EXPECT_NE(logged.find("Failed to access url[http://" + (NwsScraper::kObservationHost + report) + "\n"),
              std::string::npos);

    // An observation time that no pattern reads gives no sun times.
    serveDesMoines(replaced(page, "10:53 am CST", "late morning"));
    expectValues(scrapeLogged(), {{"visibility", "10 mi"}, {"nighttime", "<absent>"}, {"sunrise", "<absent>"}});
}

TEST_F(NwsScrape, KeysThatCannotBeFetched) {
    LogCapture log;
    ScrapeReport report;
    EXPECT_EQ(scraper->scrape("", report), 4);
    EXPECT_EQ(valueOf(report.getDisplayHashRef(), "credit"), "National Weather Service");

    NwsScraper bare(shippedConfig("n1"), "credit=x\n", "", "");
    for (const std::string& k : {desMoines, sanAntonio, key({"ll", "a", "crh", "DMX", "1", "2"})}) {
        EXPECT_EQ(bare.scrape(k, report), 5);
        EXPECT_NE(log.output().find("nws failed to retrieve data for key=[" + k + "]\n"), std::string::npos);
    }
    EXPECT_EQ(server.requestCount(), 0u);

    RefusedPort refused;
    scraper->setHttpProxy("127.0.0.1", refused.port());
    report = ScrapeReport();
    EXPECT_EQ(scraper->scrape(desMoines, report), 3);
    EXPECT_TRUE(report.getOutputHashRef().empty());
}

TEST_F(NwsScrape, ScrapesOfSeveralLocationsRunAtOnce) {
    serveDesMoines(readFixture("forecast/point_des_moines.html"));
    serveSanAntonio();
    ScrapeReport first, second;
    int firstStatus = -1, secondStatus = -1;
    std::thread a([&] { firstStatus = scraper->scrape(desMoines, first); });
    secondStatus = scraper->scrape(sanAntonio, second);
    a.join();
    EXPECT_EQ(firstStatus + secondStatus, 0);
    EXPECT_EQ(valueOf(first.getOutputHashRef(), "weatherCode"), "30");
    expectValues(second.getOutputHashRef(), {{"weatherCode", "31"}, {"visibility", "7 mi"}});
}
