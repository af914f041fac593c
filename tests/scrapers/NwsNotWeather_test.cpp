// The National Weather Service source against pages that are not the weather
// (a captive portal, a server's 503 page, a news page), which must give no
// value and so fail the update, and against its own pages laid out anew (a
// line break or a blank after every tag, or indented), which must give the
// values of the unchanged page and never another line's value or an entity.

#include <gtest/gtest.h>

#include <set>

#include "LogCapture.h"
#include "NwsTestSupport.h"
#include "PageLayouts.h"
#include "ScraperThreadStubs.h"
#include "scrapers/ScraperThread.h"
#include "util/StringMap.h"

using nwstest::key;

namespace {

// One key form of the source: its key, the page it fetches, the fixture page
// that answers it and the observing station the page names.
struct Form {
    const char* name;
    std::vector<std::string> keyParts;
    const char* host;
    const char* path;  // without its query: the route answers any
    const char* page;     // under tests/fixtures/nws/forecast
    const char* station;  // "" when the page names none
};

const Form kForms[] = {
    {"Point", {"ifps", "crh", "Des+Moines", "IA", "DMX"}, "www.crh.noaa.gov", "/ifps/MapClick.php",
     "point_des_moines.html", "KDSM"},
    {"Zone", {"TXZ205", "TXC029", "San+Antonio"}, "www.nws.noaa.gov", "/data/forecasts/TXZ205.php",
     "zone_san_antonio.html", "KSAT"},
    {"TotalForecast", {"total_forecast", "springfield, il", "crh", "ilx", "ILZ051", "ILC167"}, "www.crh.noaa.gov",
     "/total_forecast/index.php", "total_forecast_springfield.html", "KSPI"},
    {"LatLon", {"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}, "www.crh.noaa.gov", "/port/MapClick.php",
     "latlon_ankeny.html", ""},
};

std::string valueOf(const StringMap& table, const std::string& name) {
    return table.count(name) ? table.at(name) : "<absent>";
}

// Every data key the four configurations score, as the report names it
// (plain, and the first of a numbered list).
std::set<std::string> scoredKeys() {
    std::set<std::string> keys;
    for (const char* name : {"n2", "n3", "n4"}) {
        const scraperConfig config(shippedConfig(name));
        for (const scraperConfig::chunk& chunk : config.getChunkList()) {
            const std::string key = getHash(chunk.config, "desired_token", "");
            keys.insert(key);
            keys.insert(key + "-1");
        }
    }
    return keys;
}

struct NwsPages : nwstest::NwsFixture {
    void servePage(const Form& form, const std::string& page) {
        server.route(form.host, form.path, FixtureReply::page(page));
        if (*form.station != '\0') {
            server.routeFile(NwsScraper::kObservationHost,
                             std::string("/pub/data/observations/metar/decoded/") + form.station + ".TXT",
                             std::string("observations/") + form.station + ".TXT");
        }
    }
    ScrapeReport scrape(const Form& form) {
        ScrapeReport report;
        EXPECT_EQ(scraper->scrape(key(form.keyParts), report), 0) << form.name;
        return report;
    }
    // The status of the report a scraper thread hands to the menu controller.
    int handedStatus(const Form& form) {
        RecordingSink sink;
        ScraperThread thread(ScraperThread::ScrapeType::Location);
        thread.getLocationSpec().primaryScraper = scraper.get();
        thread.getLocationSpec().primaryKey = key(form.keyParts);
        thread.getLocationSpec().menuController = &sink;
        EXPECT_TRUE(thread.startLocation());
        thread.join();
        return sink.reports().empty() ? -1 : sink.reports().front().getStatus();
    }
};

// Files under tests/fixtures/notweather, each answered with status 200, as a
// portal or a broken server gives them.
class NwsNotWeather : public ::testing::TestWithParam<std::tuple<const char*, Layout>>, public NwsPages {
protected:
    std::string page() const {
        return laidOut(fixtureText(std::string("notweather/") + std::get<0>(GetParam())), std::get<1>(GetParam()));
    }
};

}  // namespace

// Every key form fetches the page and finds nothing in it: no value, no score,
// and the report reaches the menu controller as a page without weather
// ("Problem reading weather site"), which keeps the last good report.
TEST_P(NwsNotWeather, GivesNoValueAndFailsTheUpdate) {
    const std::set<std::string> scored = scoredKeys();
    for (const Form& form : kForms) {
        servePage(form, page());
        LogCapture log;
        const ScrapeReport report = scrape(form);
        for (const auto& [name, value] : report.getOutputHashRef()) {
            EXPECT_FALSE(scored.count(name) && !value.empty()) << form.name << ": " << name << " = " << value;
        }
        EXPECT_EQ(report.score(), 0) << form.name;

        EXPECT_EQ(handedStatus(form), SuperScraper::EmptyKey) << form.name;
    }
}

// A New Location search answered by such a page finds no city.
TEST_P(NwsNotWeather, SearchFindsNoCity) {
    server.route("www.srh.noaa.gov", "/zipcity.php", FixtureReply::page(page()));
    std::vector<SuperScraper::City> cities;
    EXPECT_EQ(scraper->search("Springfield", cities), 0);
    EXPECT_TRUE(cities.empty()) << cities.size() << " cities, the first " << cities.front().name;
}

INSTANTIATE_TEST_SUITE_P(Pages, NwsNotWeather,
                         ::testing::Combine(::testing::Values("portal.html", "unavailable.html", "unrelated.html",
                                                              "parked.html"),
                                            ::testing::Values(Layout::Unchanged, Layout::LineBreaks,
                                                              Layout::Indented)),
                         [](const auto& info) {
                             const std::string file = std::get<0>(info.param);
                             return file.substr(0, file.find('.')) + layoutName(std::get<1>(info.param));
                         });

namespace {
class NwsLayout : public ::testing::TestWithParam<std::tuple<Form, Layout>>, public NwsPages {};
}  // namespace

// The re-laid-out page gives the report of the unchanged page, value for
// value: none is lost, none is another line's, none carries white space from
// the layout. What the menu and the tool tip show holds no entity.
TEST_P(NwsLayout, GivesTheValuesOfTheUnchangedPage) {
    const auto& [form, layout] = GetParam();
    const std::string original = fixtureText(std::string("nws/forecast/") + form.page);
    servePage(form, original);
    const ScrapeReport unchanged = scrape(form);
    ASSERT_GE(unchanged.getOutputHashRef().size(), 20u) << "the unchanged page gives its values";

    servePage(form, laidOut(original, layout));
    const ScrapeReport relaid = scrape(form);
    const StringMap& before = unchanged.getOutputHashRef();
    const StringMap& after = relaid.getOutputHashRef();
    for (const auto& [name, value] : before) EXPECT_EQ(valueOf(after, name), value) << name;
    for (const auto& [name, value] : after) EXPECT_TRUE(before.count(name)) << name << " = " << value;
    EXPECT_EQ(relaid.score(), unchanged.score());

    for (const ScrapeReport* report : {&unchanged, &relaid}) {
        const StringMap shown = report->getDisplayableHash(UnitConverter::Metric);
        for (const auto& [name, value] : shown) EXPECT_FALSE(holdsEntity(value)) << name << " = " << value;
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, NwsLayout,
                         ::testing::Combine(::testing::ValuesIn(kForms),
                                            ::testing::Values(Layout::LineBreaks, Layout::Blanks, Layout::Indented)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + layoutName(std::get<1>(info.param));
                         });

// A results list laid out anew gives the same cities, with names free of the
// layout's white space.
TEST(NwsSearchLayout, ResultsListGivesTheSameCities) {
    nwstest::NwsFixture fixture;
    fixture.server.routeFile("www.wrh.noaa.gov", "/ifps/citysearch.php", "search/latlon_springfield_or.html");
    auto citiesFor = [&](const std::string& file, Layout layout) {
        fixture.server.route("www.srh.noaa.gov", "/zipcity.php",
                             FixtureReply::page(laidOut(fixtureText("nws/search/" + file), layout)));
        std::vector<SuperScraper::City> cities;
        EXPECT_EQ(fixture.scraper->search("Springfield", cities), 0);
        std::vector<std::pair<std::string, std::string>> found;
        for (const auto& city : cities) found.emplace_back(city.key, city.name);
        return found;
    };
    for (const std::string file : {"results_springfield.html", "results_franklin.html", "results_short_names.html"}) {
        const auto unchanged = citiesFor(file, Layout::Unchanged);
        EXPECT_GE(unchanged.size(), 3u) << file;
        for (Layout layout : {Layout::LineBreaks, Layout::Blanks, Layout::Indented}) {
            EXPECT_EQ(citiesFor(file, layout), unchanged) << file << " " << layoutName(layout);
        }
    }
}
