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
    auto it = table.find(name);
    return it == table.end() ? "<absent>" : it->second;
}

bool isClockText(const std::string& text) { return regex::match("^[0-9]{1,2}:[0-9]{2} (AM|PM)$", text, 1); }

struct NwsScrape : ::testing::Test, nwstest::NwsFixture {
    const std::string desMoines = key({"ifps", "crh", "Des+Moines", "IA", "DMX"});

    void serveStation(const std::string& station) {
        server.routeFile(NwsScraper::kObservationHost, kObservationPath + station + ".TXT",
                         "observations/" + station + ".TXT");
    }
    void serveDesMoines(const std::string& page) {
        server.route("www.crh.noaa.gov", kDesMoinesPath, FixtureReply::page(page));
        serveStation("KDSM");
    }
    bool stationRequested(const std::string& station) const {
        return requested(std::string("http://") + NwsScraper::kObservationHost + kObservationPath + station +
                         ".TXT");
    }
};

}  // namespace

TEST_F(NwsScrape, PointForecastPageByDay) {
    serveDesMoines(readFixture("forecast/point_des_moines.html"));
    ScrapeReport report;
    ASSERT_EQ(scraper->scrape(desMoines, report), 0);
    const StringMap& out = report.getOutputHashRef();
    const StringMap& display = report.getDisplayHashRef();

    EXPECT_EQ(valueOf(display, "credit"), "National Weather Service");
    EXPECT_EQ(valueOf(display, "url"), std::string("http://www.crh.noaa.gov") + kDesMoinesPath);
    EXPECT_EQ(valueOf(display, "fetch-host"), "www.crh.noaa.gov");
    EXPECT_TRUE(stationRequested("KDSM"));

    EXPECT_EQ(valueOf(out, "temperature"), "30");
    EXPECT_EQ(valueOf(out, "humidity"), "69%");
    EXPECT_EQ(valueOf(out, "wind"), "NW 15 MPH");
    EXPECT_EQ(valueOf(out, "dewpoint"), "21");
    EXPECT_EQ(valueOf(out, "barometer"), "30.12\"");  // the &quot; inch mark cleaned
    EXPECT_EQ(valueOf(out, "visibility"), "10 mi");   // from the station report
    EXPECT_EQ(valueOf(out, "metar"), "KDSM");
    EXPECT_EQ(valueOf(out, "time"), "10:53 am CST");
    EXPECT_EQ(valueOf(out, "gmtOffset"), "-6");
    EXPECT_EQ(valueOf(out, "zoneString"), "CST");
    EXPECT_EQ(valueOf(out, "nighttime"), "no");
    EXPECT_TRUE(isClockText(valueOf(out, "sunrise"))) << valueOf(out, "sunrise");
    EXPECT_TRUE(isClockText(valueOf(out, "sunset"))) << valueOf(out, "sunset");
    EXPECT_EQ(valueOf(out, "weatherCode"), "30");  // Partly Cloudy by day
    EXPECT_EQ(valueOf(out, "feels_like"), "19");

    // The first link with both a type and a severity wins, in page order:
    // the winter storm watch has no type, the tornado warning comes later.
    EXPECT_EQ(valueOf(out, "warn-type"), "flood");
    EXPECT_EQ(valueOf(out, "warn-severity"), "watch");
    EXPECT_EQ(valueOf(out, "warn-desc"), "Flood+Watch");

    const std::vector<std::vector<std::string>> forecast{{"Today", "30", "34", ""},
                                                         {"Tonight", "27", "", "21"},
                                                         {"Wednesday", "14", "29", "12"},
                                                         {"Thursday", "34", "25", "5"}};
    for (size_t i = 0; i < forecast.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        EXPECT_EQ(valueOf(out, "day-" + n), forecast[i][0]) << n;
        EXPECT_EQ(valueOf(out, "code-" + n), forecast[i][1]) << n;
        EXPECT_EQ(valueOf(out, "high-" + n), forecast[i][2]) << n;
        EXPECT_EQ(valueOf(out, "low-" + n), forecast[i][3]) << n;
    }
    EXPECT_EQ(valueOf(out, "day-5"), "");
    EXPECT_EQ(report.score(), 100);
}

TEST_F(NwsScrape, ZonePageAtNightWithAThreeLetterStation) {
    server.routeFile("www.nws.noaa.gov", "/data/forecasts/TXZ205.php?warncounty=TXC029&city=San+Antonio",
                     "forecast/zone_san_antonio.html");
    serveStation("KSAT");
    ScrapeReport report;
    ASSERT_EQ(scraper->scrape(key({"TXZ205", "TXC029", "San+Antonio"}), report), 0);
    const StringMap& out = report.getOutputHashRef();

    EXPECT_EQ(valueOf(out, "metar"), "SAT");
    EXPECT_TRUE(stationRequested("KSAT"));
    EXPECT_EQ(valueOf(out, "visibility"), "7 mi");
    EXPECT_EQ(valueOf(out, "time"), "9:52 pm CST");
    EXPECT_EQ(valueOf(out, "nighttime"), "yes");
    EXPECT_EQ(valueOf(out, "weatherCode"), "31");  // Clear (32) at night
    EXPECT_EQ(valueOf(out, "wind"), "Calm");
    EXPECT_EQ(valueOf(out, "barometer"), "29.98\"");
    // The outlook names no type and is passed over.
    EXPECT_EQ(valueOf(out, "warn-type"), "tstorms");
    EXPECT_EQ(valueOf(out, "warn-severity"), "warning");
    EXPECT_EQ(valueOf(out, "warn-desc"), "Severe+Thunderstorm+Warning");

    EXPECT_EQ(valueOf(out, "day-1"), "Tonight");
    EXPECT_EQ(valueOf(out, "code-1"), "33");
    EXPECT_EQ(valueOf(out, "low-1"), "49");
    EXPECT_EQ(valueOf(out, "day-2"), "Wednesday");
    EXPECT_EQ(valueOf(out, "code-2"), "35");
    EXPECT_EQ(valueOf(out, "high-2"), "77");
    EXPECT_EQ(valueOf(out, "low-2"), "55");
    EXPECT_EQ(valueOf(out, "day-3"), "Thursday");
    EXPECT_EQ(valueOf(out, "day-4"), "");
}

TEST_F(NwsScrape, TotalForecastPageUsesItsOwnConfiguration) {
    server.routeFile("www.crh.noaa.gov", "/total_forecast/index.php?wfo=ilx&zone=ILZ051&county=ILC167",
                     "forecast/total_forecast_springfield.html");
    serveStation("KSPI");
    ScrapeReport report;
    ASSERT_EQ(scraper->scrape(key({"total_forecast", "springfield, il", "crh", "ilx", "ILZ051", "ILC167"}), report),
              0);
    const StringMap& out = report.getOutputHashRef();

    EXPECT_EQ(valueOf(out, "metar"), "KSPI");
    EXPECT_EQ(valueOf(out, "temperature"), "45");
    EXPECT_EQ(valueOf(out, "humidity"), "93%");
    EXPECT_EQ(valueOf(out, "wind"), "E 8 MPH");
    EXPECT_EQ(valueOf(out, "barometer"), "29.85\"");
    EXPECT_EQ(valueOf(out, "visibility"), "3 mi");
    EXPECT_EQ(valueOf(out, "weatherCode"), "39");
    EXPECT_EQ(valueOf(out, "nighttime"), "no");
    EXPECT_EQ(valueOf(out, "warn-type"), "freeze");
    EXPECT_EQ(valueOf(out, "warn-severity"), "warning");
    EXPECT_EQ(valueOf(out, "day-1"), "This Afternoon");
    EXPECT_EQ(valueOf(out, "code-1"), "39");
    EXPECT_EQ(valueOf(out, "high-1"), "45");
    EXPECT_EQ(valueOf(out, "day-2"), "Tonight");
    EXPECT_EQ(valueOf(out, "low-2"), "37");
    EXPECT_EQ(valueOf(out, "day-3"), "Wednesday");
    EXPECT_EQ(valueOf(out, "code-3"), "26");
    EXPECT_EQ(valueOf(out, "low-3"), "23");
    EXPECT_EQ(valueOf(out, "day-4"), "Thursday");
    EXPECT_EQ(valueOf(out, "high-4"), "33");
}

TEST_F(NwsScrape, LatLonPageTakesCoordinatesFromTheKey) {
    server.routeFile("www.crh.noaa.gov", "/port/MapClick.php?site=DMX&textField1=41.73&textField2=-93.6",
                     "forecast/latlon_ankeny.html");
    LogCapture log;
    ScrapeReport report;
    ASSERT_EQ(scraper->scrape(key({"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}), report), 0);
    const StringMap& out = report.getOutputHashRef();

    EXPECT_EQ(valueOf(out, "latitude"), "41.73");
    EXPECT_EQ(valueOf(out, "longitude"), "-93.6");
    EXPECT_EQ(valueOf(out, "time"), "1:15 pm CST");
    EXPECT_EQ(valueOf(out, "nighttime"), "no");
    EXPECT_TRUE(isClockText(valueOf(out, "sunset")));
    EXPECT_EQ(valueOf(out, "weatherCode"), "26");
    EXPECT_EQ(valueOf(out, "temperature"), "27");
    EXPECT_EQ(valueOf(out, "warn-type"), "nado");
    EXPECT_EQ(valueOf(out, "warn-severity"), "watch");
    EXPECT_EQ(valueOf(out, "day-2"), "Tonight");
    EXPECT_EQ(valueOf(out, "code-2"), "14");
    EXPECT_EQ(valueOf(out, "low-2"), "18");
    EXPECT_EQ(valueOf(out, "low-3"), "9");
    // No station report for this form, and no complaint about it.
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(log.output().find("no metar key"), std::string::npos);
}

TEST_F(NwsScrape, FavoriteScoresOnlyItsTokens) {
    serveDesMoines(readFixture("forecast/point_des_moines.html"));
    ScrapeReport report;
    report.setInput("isFavorite", "1");
    ASSERT_EQ(scraper->scrape(desMoines, report), 0);
    const StringMap& out = report.getOutputHashRef();

    EXPECT_EQ(valueOf(report.getInputHashRef(), "in_tokens"), "time,metar,weatherCode,temperature,warninglink");
    EXPECT_EQ(valueOf(out, "temperature"), "30");
    EXPECT_EQ(valueOf(out, "weatherCode"), "30");
    EXPECT_EQ(valueOf(out, "warn-type"), "flood");
    EXPECT_EQ(valueOf(out, "humidity"), "<absent>");
    EXPECT_EQ(valueOf(out, "forecast-info-1"), "<absent>");
    EXPECT_EQ(valueOf(out, "day-1"), "");
    // The station report still adds visibility and sun times.
    EXPECT_EQ(valueOf(out, "visibility"), "10 mi");
    EXPECT_EQ(valueOf(out, "nighttime"), "no");
    EXPECT_EQ(report.score(), 100);

    // A primary scrape with the same report scores every chunk again.
    report.setInput("isFavorite", "0");
    ASSERT_EQ(scraper->scrape(desMoines, report), 0);
    EXPECT_EQ(valueOf(report.getInputHashRef(), "in_tokens"), "");
    EXPECT_EQ(valueOf(report.getOutputHashRef(), "humidity"), "69%");
}

TEST_F(NwsScrape, StationProblemsOnlyLeaveOutTheirValues) {
    const std::string page = readFixture("forecast/point_des_moines.html");
    struct Case {
        std::string station;
        std::string line;
    };
    for (const Case& c : {Case{"XX", "bad metar key [XX]\n"}, Case{"KDSMXX", "bad metar key [KDSMXX]\n"}}) {
        serveDesMoines(replaced(page, "KDSM", c.station));
        LogCapture log;
        ScrapeReport report;
        ASSERT_EQ(scraper->scrape(desMoines, report), 0) << c.station;
        EXPECT_NE(log.output().find(c.line), std::string::npos) << c.station;
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "visibility"), "<absent>");
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "nighttime"), "<absent>");
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "weatherCode"), "30");
    }
    EXPECT_EQ(server.requests().size(), 2u);  // only the two pages
    {
        // Only letters and digits reach the report's path.
        LogCapture log;
        StringMap out;
        std::string station = "K/..";
        EXPECT_FALSE(scraper->decodeObservations(station, out));
        EXPECT_NE(log.output().find("bad metar key [K/..]\n"), std::string::npos);
        EXPECT_EQ(server.requests().size(), 2u);
    }

    // A page without a station link.
    const size_t row = page.find("<tr><td class=\"station\">");
    ASSERT_NE(row, std::string::npos);
    serveDesMoines(page.substr(0, row) + page.substr(page.find("</tr>", row) + 5));
    {
        LogCapture log;
        ScrapeReport report;
        ASSERT_EQ(scraper->scrape(desMoines, report), 0);
        EXPECT_NE(log.output().find("no metar key for key=[" + desMoines + "]\n"), std::string::npos);
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "temperature"), "30");
    }

    // The station report cannot be fetched.
    serveDesMoines(page);
    server.route(NwsScraper::kObservationHost, std::string(kObservationPath) + "KDSM.TXT",
                 FixtureReply::redirect("https://weather.noaa.gov/elsewhere.TXT"));
    {
        LogCapture log;
        ScrapeReport report;
        ASSERT_EQ(scraper->scrape(desMoines, report), 0);
        EXPECT_NE(log.output().find(std::string("Failed to access url[http://") + NwsScraper::kObservationHost +
                                    kObservationPath + "KDSM.TXT\n"),
                  std::string::npos);
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "visibility"), "<absent>");
    }

    // An observation time that no pattern reads gives no sun times.
    serveDesMoines(replaced(page, "10:53 am CST", "late morning"));
    {
        ScrapeReport report;
        ASSERT_EQ(scraper->scrape(desMoines, report), 0);
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "visibility"), "10 mi");
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "nighttime"), "<absent>");
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "sunrise"), "<absent>");
    }
}

TEST_F(NwsScrape, KeysThatCannotBeFetched) {
    LogCapture log;
    ScrapeReport report;
    EXPECT_EQ(scraper->scrape("", report), 4);
    EXPECT_EQ(valueOf(report.getDisplayHashRef(), "credit"), "National Weather Service");

    NwsScraper bare(shippedConfig("n1"), "credit=x\n", "", "");
    for (const std::string& k : {desMoines, key({"TXZ205", "TXC029", "San+Antonio"}),
                                 key({"ll", "a", "crh", "DMX", "1", "2"})}) {
        EXPECT_EQ(bare.scrape(k, report), 5);
        EXPECT_NE(log.output().find("nws failed to retrieve data for key=[" + k + "]\n"), std::string::npos);
    }
    EXPECT_EQ(server.requestCount(), 0u);

    RefusedPort refused;
    scraper->setHttpProxy("127.0.0.1", refused.port());
    ScrapeReport failed;
    EXPECT_EQ(scraper->scrape(desMoines, failed), 3);
    EXPECT_TRUE(failed.getOutputHashRef().empty());
}

TEST_F(NwsScrape, ScrapesOfSeveralLocationsRunAtOnce) {
    serveDesMoines(readFixture("forecast/point_des_moines.html"));
    server.routeFile("www.nws.noaa.gov", "/data/forecasts/TXZ205.php?warncounty=TXC029&city=San+Antonio",
                     "forecast/zone_san_antonio.html");
    serveStation("KSAT");
    ScrapeReport first;
    ScrapeReport second;
    int firstStatus = -1;
    int secondStatus = -1;
    std::thread a([&] { firstStatus = scraper->scrape(desMoines, first); });
    std::thread b([&] { secondStatus = scraper->scrape(key({"TXZ205", "TXC029", "San+Antonio"}), second); });
    a.join();
    b.join();
    EXPECT_EQ(firstStatus, 0);
    EXPECT_EQ(secondStatus, 0);
    EXPECT_EQ(valueOf(first.getOutputHashRef(), "weatherCode"), "30");
    EXPECT_EQ(valueOf(second.getOutputHashRef(), "weatherCode"), "31");
    EXPECT_EQ(valueOf(second.getOutputHashRef(), "visibility"), "7 mi");
}
