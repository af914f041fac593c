// The AOL, Weather Underground and USA Today sources, built from the shipped
// configurations, against pages that are not their weather (a captive portal,
// a "503 try again" page served as 200, an unrelated site) and against their
// own fixture pages laid out anew (a line break or a blank after every tag,
// or indented): the first give no value and fail the update, the second give
// each value of the unchanged page or none.

#include <gtest/gtest.h>


#include "LogCapture.h"
#include "PageLayouts.h"
#include "ScraperThreadStubs.h"
#include "scrapers/AggrScraper.h"
#include "scrapers/FlexiScraper.h"
#include "scrapers/ScraperThread.h"
#include "scrapers/scraperConfig.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"

namespace {

struct Page {
    std::string key;   // the location key the page is scraped with
    std::string path;  // its path on the site
};

struct Site {
    const char* service;  // the aggregating scraper's name of the source
    int sourceId;         // its identifier in the source order
    const char* host;
    const char* folder;  // under tests/fixtures
    const char* searchConfig;
    const char* scrapeConfig;
    const char* searchPath;  // the path a search for "Springfield" asks for
    std::vector<Page> pages;
};

void PrintTo(const Site& site, std::ostream* os) { *os << site.service; }

std::string joined(const std::vector<std::string>& parts) {
    std::string key;
    SuperScraper::joinKey(parts, key);
    return key;
}

Page ugPage(const std::string& a, const std::string& b, const std::string& c) {
    return {joined({a, b, c}), "/" + a + "/" + b + "/" + c + ".html"};
}

std::vector<Site> sites() {
    std::vector<Site> all;
    Site aol{"aol", AggrScraper::Aol, "weather.aol.com", "aol", "a1", "a2", "/search.adp?query=Springfield", {}};
    for (const char* key : {"USAZ0166", "USCO0105", "USIL0225", "USMN0503", "USNM0004", "USWA0395"}) {
        aol.pages.push_back({key, std::string("/main.adp?location=") + key});
    }
    Site ug{"ug", AggrScraper::Ug, "www.wunderground.com", "ug", "u1", "u2",
            "/cgi-bin/findweather/getForecast?query=Springfield",
            {ugPage("US", "CO", "Denver"), ugPage("US", "KS", "Topeka"), ugPage("US", "KS", "Wichita"),
             ugPage("ZZ", "ON", "Toronto_Pearson"), ugPage("global", "stations", "94672")}};
    Site usa{"usa", AggrScraper::Usa, "www.usatoday.com", "usa", "t1", "t2",
             "/weather/forecast/wsearch.aspx?query=Springfield", {}};
    for (const char* key : {"USCA0987", "USNY0996", "USFL0372", "USTX0327"}) {
        usa.pages.push_back({key, std::string("/weather/forecast/wcurrent.aspx?LocationID=") + key});
    }
    return {aol, ug, usa};
}

const std::vector<const char*> kNotWeather = {"notweather/portal.html", "notweather/unavailable.html",
                                              "notweather/unrelated.html", "notweather/parked.html"};

// The data keys a configuration's chunks write.
std::vector<std::string> dataKeys(const std::string& configText) {
    std::vector<std::string> keys;
    const scraperConfig config(configText);
    for (const scraperConfig::chunk& chunk : config.getChunkList()) {
        keys.push_back(getHash(chunk.config, scraperConfig::DESIRED_TOKEN, ""));
    }
    return keys;
}

// The entries of table that are a data key or one of its numbered keys, with a value.
StringMap valuesOf(const StringMap& table, const std::vector<std::string>& keys) {
    StringMap found;
    for (const auto& [name, value] : table) {
        for (const std::string& key : keys) {
            const bool numbered = name.rfind(key + "-", 0) == 0 &&
                                  name.find_first_not_of("0123456789", key.size() + 1) == std::string::npos;
            if (!value.empty() && (name == key || numbered)) found[name] = value;
        }
    }
    return found;
}

class SitesTest : public ::testing::Test {
protected:
    void SetUp() override {
        aggr_.initAolScraper(shippedConfig("a1"), shippedConfig("a2"));
        aggr_.initUgScraper(shippedConfig("u1"), shippedConfig("u2"));
        aggr_.initUsaScraper(shippedConfig("t1"), shippedConfig("t2"));
        aggr_.setHttpProxy("127.0.0.1", server_.port());
    }

    SuperScraper& scraperOf(const Site& site) {
        SuperScraper* scraper = aggr_.scraperFor(site.service);
        scraper->setHttpProxy("127.0.0.1", server_.port());
        return *scraper;
    }

    // Scrapes key with the page served at path; the report as scraped.
    ScrapeReport scrape(const Site& site, const Page& page, const std::string& body) {
        server_.route(site.host, page.path, FixtureReply::page(body));
        ScrapeReport report;
        EXPECT_EQ(scraperOf(site).scrape(page.key, report), SuperScraper::Success) << page.path;
        return report;
    }

    // The report a refresh of a city holding key hands to the menu.
    ScrapeReport refresh(const Site& site, const std::string& key) {
        Location city;
        city.name = "Springfield, IL";
        city.serviceKeys[site.service] = key;
        ScraperThread thread(ScraperThread::ScrapeType::Location);
        thread.getLocationSpec().menuController = &sink_;
        ScrapeReport report;
        aggr_.startScrape(&thread, city, {site.sourceId}, nullptr, report);
        thread.join();
        auto reports = sink_.reports();
        EXPECT_FALSE(reports.empty());
        return reports.empty() ? ScrapeReport() : reports.back();
    }

    LogCapture log_;
    FixtureServer server_;
    AggrScraper aggr_;
    RecordingSink sink_;
};

class NotWeatherPages : public SitesTest, public ::testing::WithParamInterface<Site> {};

TEST_P(NotWeatherPages, GiveNoValueFailTheUpdateAndFindNoCity) {
    const Site& site = GetParam();
    const std::string searchText = shippedConfig(site.searchConfig);
    const std::string scrapeText = shippedConfig(site.scrapeConfig);
    const std::vector<std::string> scrapeKeys = dataKeys(scrapeText);
    auto& scraper = dynamic_cast<FlexiScraper&>(scraperOf(site));

    for (const char* file : kNotWeather) {
        SCOPED_TRACE(file);
        const std::string body = fixtureText(file);
        for (const Page& page : site.pages) {
            ScrapeReport report = scrape(site, page, body);
            EXPECT_EQ(valuesOf(report.getOutputHashRef(), scrapeKeys), StringMap{}) << page.path;
            EXPECT_EQ(report.score(), 0);
        }
        // The refresh hands on a failed read: "Problem reading weather site".
        const ScrapeReport handed = refresh(site, site.pages.front().key);
        EXPECT_EQ(handed.getStatus(), SuperScraper::EmptyKey);

        // Neither configuration reads a result from the page.
        for (const std::string* config : {&searchText, &scrapeText}) {
            StringMap input;
            StringMap found;
            scraper.scoreData(body, scraperConfig(*config), input, found);
            EXPECT_EQ(valuesOf(found, {"url", "name", "keys"}), StringMap{});
        }
        server_.route(site.host, site.searchPath, FixtureReply::page(body));
        std::vector<SuperScraper::City> cities;
        scraper.search("Springfield", cities);
        EXPECT_TRUE(cities.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, NotWeatherPages, ::testing::ValuesIn(sites()),
                         [](const auto& info) { return std::string(info.param.service); });

class RelaidPages : public SitesTest, public ::testing::WithParamInterface<std::tuple<Site, Layout>> {};

TEST_P(RelaidPages, GiveTheUnchangedValueOrNoneAndNoEntity) {
    const auto& [site, layout] = GetParam();
    for (const Page& page : site.pages) {
        SCOPED_TRACE(page.path);
        const std::string original = fixtureText(std::string(site.folder) + page.path);
        const StringMap before = scrape(site, page, original).getOutputHashRef();
        ScrapeReport relaid = scrape(site, page, laidOut(original, layout));
        const StringMap& after = relaid.getOutputHashRef();

        for (const auto& [key, value] : after) {
            if (value.empty()) continue;
            EXPECT_EQ(value, getHash(before, key, "<none>")) << key;
        }
        for (const StringMap* table : {&before, &after, const_cast<const StringMap*>(&relaid.getDisplayHashRef())}) {
            for (const auto& [key, value] : *table) EXPECT_FALSE(holdsEntity(value)) << key << "=" << value;
        }
        // The current conditions survive the new layout.
        EXPECT_EQ(getHash(after, "temperature", "<none>"), getHash(before, "temperature", "<none>"));
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, RelaidPages, ::testing::Combine(::testing::ValuesIn(sites()),
                                                                  ::testing::Values(Layout::LineBreaks, Layout::Blanks,
                                                                                    Layout::Indented)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).service) + "_" +
                                    layoutName(std::get<1>(info.param));
                         });

}  // namespace
