#include "scrapers/AggrScraper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ScraperThreadStubs.h"
#include "support/CaptureStream.h"

namespace {

using City = SuperScraper::City;

// An aggregating scraper with stub sources; the stubs stay reachable.
struct Sources {
    AggrScraper aggr;
    std::map<std::string, StubScraper*> stub;

    StubScraper& add(AggrScraper::ServiceType service) {
        auto scraper = std::make_unique<StubScraper>(aggr.serviceName(service));
        StubScraper* raw = scraper.get();
        aggr.registerScraper(service, std::move(scraper));
        stub[aggr.serviceName(service)] = raw;
        return *raw;
    }
};

Location locationNamed(const std::string& name, StringMap keys = {}) {
    Location location;
    location.name = name;
    location.status = Location::kPrimary;
    location.serviceKeys = std::move(keys);
    return location;
}

// startScrape into a fresh location thread, joined before returning.
struct Refresh {
    std::unique_ptr<ScraperThread> thread = std::make_unique<ScraperThread>(ScraperThread::ScrapeType::Location);
    bool started = false;
    ScraperThread::LocationSpec& spec() { return thread->getLocationSpec(); }
};

Refresh startAndJoin(AggrScraper& aggr, Location& location, std::vector<int> order, WeatherDataSink* sink,
                     ScrapeReport report = {}) {
    Refresh run;
    run.spec().menuController = sink;
    run.started = aggr.startScrape(run.thread.get(), location, std::move(order), nullptr, report);
    run.thread->join();
    return run;
}

}  // namespace

TEST(AggrScraper, ServiceNamesAndEmptyDefaults) {
    AggrScraper aggr;
    std::vector<std::string> names;
    for (int i = -1; i <= AggrScraper::kServiceTypes; ++i) names.push_back(aggr.serviceName(i));
    EXPECT_EQ(names, (std::vector<std::string>{"", "auto", "nws", "y", "aol", "msn", "ug", "usa", ""}));
    EXPECT_EQ(AggrScraper::KeyNotInDb, "key_not_in_db");
    EXPECT_FALSE(aggr.advance());
    EXPECT_EQ(aggr.httpProxy().host, "");
    EXPECT_EQ(aggr.httpProxy().port, 80);
    EXPECT_EQ(aggr.scraperFor("nws"), nullptr);
    std::vector<City> cities;
    ScrapeReport report;
    EXPECT_EQ(aggr.search("Boston", cities), 0);
    EXPECT_EQ(aggr.scrape("key", report), 0);
    EXPECT_TRUE(cities.empty());
    // Nothing registers under a number outside the order's range.
    aggr.registerScraper(static_cast<AggrScraper::ServiceType>(9), std::make_unique<StubScraper>());
    EXPECT_EQ(aggr.scraperFor(""), nullptr);
}

TEST(AggrScraper, RanksStoredKeysInTheUsersOrder) {
    Sources s;
    s.add(AggrScraper::Nws);
    s.add(AggrScraper::Ug);
    s.add(AggrScraper::Usa);
    Location boston =
        locationNamed("Boston, MA", {{"nws", AggrScraper::KeyNotInDb}, {"ug", "ug-boston"}, {"usa", "usa-boston"}});

    std::string key, service;
    EXPECT_EQ(s.aggr.findNthBestScraper(1, boston, {1, 5, 6}, key, service), s.stub["ug"]);
    EXPECT_EQ(key, "ug-boston");
    EXPECT_EQ(service, "ug");
    EXPECT_EQ(s.aggr.findNthBestScraper(2, boston, {1, 5, 6}, key, service), s.stub["usa"]);
    EXPECT_EQ(key, "usa-boston");
    EXPECT_EQ(s.aggr.findNthBestScraper(3, boston, {1, 5, 6}, key, service), nullptr);
    // The same source twice in a row counts once.
    EXPECT_EQ(s.aggr.findNthBestScraper(2, boston, {5, 5, 6}, key, service), s.stub["usa"]);
    // Only stored keys were used: no source was searched.
    for (auto& [name, stub] : s.stub) EXPECT_TRUE(stub->searched().empty()) << name;

    // Through startScrape: the thread runs the primary, the backup is kept.
    s.stub["ug"]->answerScrape("ug-boston", SuperScraper::Success, outputsScoring(85));
    RecordingSink sink;
    ScrapeReport report;
    report.setInput("radar", "1");
    s.aggr.setAdvance(true);
    Refresh run = startAndJoin(s.aggr, boston, {1, 5, 6}, &sink, report);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.spec().primaryScraper, s.stub["ug"]);
    EXPECT_EQ(run.spec().primaryKey, "ug-boston");
    EXPECT_EQ(run.spec().backupScraper, s.stub["usa"]);
    EXPECT_EQ(run.spec().backupKey, "usa-boston");
    EXPECT_EQ(run.spec().location.name, "Boston, MA");
    EXPECT_TRUE(s.stub["usa"]->scraped().empty());
    ASSERT_EQ(sink.reports().size(), 1u);
    ScrapeReport handed = sink.reports()[0];
    EXPECT_EQ(handed.getInputHashRef()["advance"], "1");
    EXPECT_EQ(handed.getInputHashRef()["radar"], "1");
    EXPECT_EQ(handed.getInputHashRef()["cityName"], "Boston, MA");
    EXPECT_EQ(handed.getInputHashRef()["scrapedBy"], "ug");
}

TEST(AggrScraper, OneUsableSourceGivesNoBackup) {
    Sources s;
    s.add(AggrScraper::Nws).answerScrape("nws-key", SuperScraper::Success, outputsScoring(30));
    Location denver = locationNamed("Denver, CO", {{"nws", "nws-key"}, {"ug", "ug-key"}});
    RecordingSink sink;
    CaptureStdout out;
    // "ug" has a stored key but no registered scraper; "auto" and "y" never do.
    Refresh run = startAndJoin(s.aggr, denver, {0, 5, 2, 1}, &sink);
    EXPECT_EQ(out.text().find("using backup"), std::string::npos);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.spec().primaryScraper, s.stub["nws"]);
    EXPECT_EQ(run.spec().backupScraper, nullptr);
    ASSERT_EQ(sink.reports().size(), 1u);
    EXPECT_EQ(sink.reports()[0].getInputHashRef()["advance"], "0");
}

TEST(AggrScraper, NoKnownSourceIsReportedAtOnce) {
    Sources s;
    s.add(AggrScraper::Nws).answerSearch(SuperScraper::Success, {});
    Location paris = locationNamed("Paris, France");
    RecordingSink sink;
    Refresh run = startAndJoin(s.aggr, paris, {0, 2, 4}, &sink);
    EXPECT_FALSE(run.started);
    EXPECT_FALSE(run.thread->isStarted());
    ASSERT_EQ(sink.reports().size(), 1u);
    EXPECT_EQ(sink.reports()[0].getStatus(), SuperScraper::NoScraper);
    EXPECT_EQ(sink.reports()[0].getInputHashRef()["cityName"], "Paris, France");
    EXPECT_EQ(run.spec().primaryScraper, nullptr);

    // The searched source that does not know the city: the same, and its miss
    // is remembered. Without a sink (the setup program) the report is left alone.
    ScrapeReport report;
    report.setInput("isFavorite", "1");
    Refresh again;
    EXPECT_FALSE(s.aggr.startScrape(again.thread.get(), paris, {1}, nullptr, report));
    EXPECT_EQ(report.getStatus(), SuperScraper::Success);
    EXPECT_EQ(report.getInputHashRef().count("cityName"), 0u);
    EXPECT_EQ(paris.serviceKeys["nws"], AggrScraper::KeyNotInDb);
    EXPECT_EQ(sink.reports().size(), 1u);
    EXPECT_EQ(s.stub["nws"]->searched().size(), 1u);
}

TEST(AggrScraper, FindsKeysBySearchingOnceAndKeepsThem) {
    Sources s;
    StubScraper& nws = s.add(AggrScraper::Nws);
    StubScraper& ug = s.add(AggrScraper::Ug);
    StubScraper& usa = s.add(AggrScraper::Usa);
    nws.answerSearch(SuperScraper::Success, {{"nws-1", "Springfield, IL"}, {"nws-2", "Springfield, MO"}});
    ug.answerSearch(SuperScraper::Success, {{"ug-spr", "Springfield"}});
    usa.answerSearch(SuperScraper::Success, {{"usa-spr", "Springfield"}});
    s.aggr.setHttpProxy("127.0.0.1", 3128);

    Location springfield = locationNamed("Springfield, United States");
    RecordingSink sink;
    Refresh run = startAndJoin(s.aggr, springfield, {1, 5, 6}, &sink);
    EXPECT_TRUE(run.started);
    // Searched and stored without the country; two cities are no answer.
    EXPECT_EQ(springfield.name, "Springfield");
    EXPECT_EQ(run.spec().location.name, "Springfield");
    EXPECT_EQ(nws.searched(), std::vector<std::string>{"Springfield"});
    EXPECT_EQ(springfield.serviceKeys["nws"], AggrScraper::KeyNotInDb);
    EXPECT_EQ(springfield.serviceKeys["ug"], "ug-spr");
    EXPECT_EQ(springfield.serviceKeys["usa"], "usa-spr");
    EXPECT_EQ(run.spec().primaryScraper, &ug);
    EXPECT_EQ(run.spec().backupScraper, &usa);
    // The proxy reached the sources before their searches and scrapes.
    ASSERT_EQ(ug.searchProxies().size(), 1u);
    EXPECT_EQ(ug.searchProxies()[0].host, "127.0.0.1");
    EXPECT_EQ(ug.searchProxies()[0].port, 3128);
    ASSERT_EQ(ug.scrapeProxies().size(), 1u);
    EXPECT_EQ(ug.scrapeProxies()[0].port, 3128);

    // The next refresh reuses every key and miss: no search at all.
    Refresh next = startAndJoin(s.aggr, springfield, {1, 5, 6}, &sink);
    EXPECT_TRUE(next.started);
    EXPECT_EQ(nws.searched().size(), 1u);
    EXPECT_EQ(ug.searched().size(), 1u);
    EXPECT_EQ(usa.searched().size(), 1u);
    EXPECT_EQ(sink.reports().size(), 2u);
}

TEST(AggrScraper, AnotherCityNameIsAMiss) {
    Sources s;
    s.add(AggrScraper::Ug).answerSearch(SuperScraper::Success, {{"ug-austin", "Austin, Texas"}});
    Location austin = locationNamed("Austin, TX");
    CaptureStdout out;
    std::string key, service;
    EXPECT_EQ(s.aggr.findNthBestScraper(1, austin, {5}, key, service), nullptr);
    EXPECT_EQ(out.text(), "City found (Austin, Texas) doesn't match city we're looking for (Austin, TX)\n");
    EXPECT_EQ(austin.serviceKeys["ug"], AggrScraper::KeyNotInDb);
    EXPECT_EQ(key, "");
    EXPECT_EQ(service, "");
}

TEST(AggrScraper, TemporaryFailuresAreNotStoredForGood) {
    Sources s;
    StubScraper& nws = s.add(AggrScraper::Nws);
    StubScraper& ug = s.add(AggrScraper::Ug);
    StubScraper& usa = s.add(AggrScraper::Usa);
    nws.answerSearch(SuperScraper::FetchFailed, {});
    ug.answerSearch(SuperScraper::EmptyKey, {});
    usa.answerSearch(SuperScraper::Success, {{"usa-key", "Tulsa, OK"}});
    Location tulsa = locationNamed("Tulsa, OK");
    RecordingSink sink;

    CaptureStderr err;
    Refresh run = startAndJoin(s.aggr, tulsa, {1, 5, 6}, &sink);
    EXPECT_NE(err.text().find("could not search nws for Tulsa, OK (status 3)"), std::string::npos);
    EXPECT_EQ(run.spec().primaryScraper, &usa);
    EXPECT_EQ(run.spec().backupScraper, nullptr);
    // Both walks of the refresh asked each source once.
    EXPECT_EQ(nws.searched().size(), 1u);
    EXPECT_EQ(ug.searched().size(), 1u);
    // A definite miss is kept; the unreachable source is not written off.
    EXPECT_EQ(tulsa.serviceKeys.count("nws"), 0u);
    EXPECT_EQ(tulsa.serviceKeys["ug"], AggrScraper::KeyNotInDb);

    // The next refresh asks the unreachable source again and now finds it.
    nws.answerSearch(SuperScraper::Success, {{"nws-key", "Tulsa, OK"}});
    Refresh next = startAndJoin(s.aggr, tulsa, {1, 5, 6}, &sink);
    EXPECT_EQ(nws.searched().size(), 2u);
    EXPECT_EQ(ug.searched().size(), 1u);
    EXPECT_EQ(tulsa.serviceKeys["nws"], "nws-key");
    EXPECT_EQ(next.spec().primaryScraper, &nws);
    EXPECT_EQ(next.spec().backupScraper, &usa);

    // Outside a walk a failure is not remembered either.
    nws.answerSearch(SuperScraper::NoHostOrUri, {});
    Location other = locationNamed("Enid, OK");
    EXPECT_EQ(s.aggr.saveKeyForService(other, &nws, "nws"), AggrScraper::KeyNotInDb);
    EXPECT_EQ(s.aggr.saveKeyForService(other, &nws, "nws"), AggrScraper::KeyNotInDb);
    EXPECT_EQ(nws.searched().size(), 4u);
    EXPECT_TRUE(other.serviceKeys.empty());
}

TEST(AggrScraper, OrderValuesOutOfRangeAreSkipped) {
    Sources s;
    s.add(AggrScraper::Usa);
    Location reno = locationNamed("Reno, NV", {{"usa", "usa-reno"}});
    CaptureStderr err;
    std::string key, service;
    EXPECT_EQ(s.aggr.findNthBestScraper(1, reno, {-1, 7, 1000000, 6}, key, service), s.stub["usa"]);
    EXPECT_EQ(key, "usa-reno");
    std::string text = err.text();
    EXPECT_NE(text.find("unknown source -1"), std::string::npos);
    EXPECT_NE(text.find("unknown source 1000000"), std::string::npos);
}

TEST(AggrScraper, AThreadThatCannotStartIsReported) {
    Sources s;
    s.add(AggrScraper::Nws);
    Location boise = locationNamed("Boise, ID", {{"nws", "nws-boise"}});
    RecordingSink sink;
    // A search thread refuses to start as a location thread.
    ScraperThread wrong(ScraperThread::ScrapeType::Search);
    wrong.getLocationSpec().menuController = &sink;
    ScrapeReport report;
    report.setInput("isFavorite", "1");
    CaptureStderr err;
    EXPECT_FALSE(s.aggr.startScrape(&wrong, boise, {1}, nullptr, report));
    EXPECT_NE(err.text().find("could not start the scrape of Boise, ID"), std::string::npos);
    ASSERT_EQ(sink.reports().size(), 1u);
    EXPECT_EQ(sink.reports()[0].getStatus(), SuperScraper::FetchFailed);
    EXPECT_EQ(sink.reports()[0].getInputHashRef()["cityName"], "Boise, ID");
    EXPECT_EQ(sink.reports()[0].getInputHashRef()["isFavorite"], "1");
    EXPECT_TRUE(s.stub["nws"]->scraped().empty());
    EXPECT_FALSE(s.aggr.startScrape(nullptr, boise, {1}, nullptr, report));
}

TEST(AggrScraper, SearchMergesEverySourceByName) {
    Sources s;
    s.add(AggrScraper::Nws)
        .answerSearch(SuperScraper::Success, {{"nws-pdx", "Portland, OR"}, {"nws-pwm", "Portland, ME"}});
    s.add(AggrScraper::Ug).answerSearch(SuperScraper::Success, {{"ug-pdx", "Portland, OR"}});
    s.add(AggrScraper::Aol).answerSearch(SuperScraper::Success, {{"aol-pdx", "Portland, OR, United States"}});
    s.add(AggrScraper::Usa)
        .answerSearch(SuperScraper::FetchFailed, {{"usa-old", "Portland, ME"}, {"usa-new", "Portland, ME"}});
    s.aggr.setHttpProxy("127.0.0.1", 8080);

    std::vector<Location> out{locationNamed("kept")};
    EXPECT_EQ(s.aggr.search("Portland", out), 0);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].name, "kept");
    EXPECT_EQ(out[1].name, "Portland, ME");
    EXPECT_EQ(out[1].status, Location::kPlain);
    EXPECT_EQ(out[1].serviceKeys, (StringMap{{"nws", "nws-pwm"}, {"usa", "usa-new"}}));
    EXPECT_EQ(out[2].name, "Portland, OR");
    EXPECT_EQ(out[2].serviceKeys, (StringMap{{"aol", "aol-pdx"}, {"nws", "nws-pdx"}, {"ug", "ug-pdx"}}));
    for (auto& [name, stub] : s.stub) {
        EXPECT_EQ(stub->searched(), std::vector<std::string>{"Portland"}) << name;
        ASSERT_EQ(stub->searchProxies().size(), 1u);
        EXPECT_EQ(stub->searchProxies()[0].port, 8080) << name;
    }
}

TEST(AggrScraper, SearchWithoutAnswersYieldsNoCandidates) {
    Sources s;
    // An AOL-style source scores its page but returns no cities.
    s.add(AggrScraper::Aol).answerSearch(SuperScraper::EmptyKey, {});
    std::vector<Location> out;
    EXPECT_EQ(s.aggr.search("Portland", out), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(s.stub["aol"]->searched().size(), 1u);

    AggrScraper none;
    EXPECT_EQ(none.search("Portland", out), 0);
    EXPECT_TRUE(out.empty());

    // Names are merged byte-wise and exactly.
    std::map<std::string, Location> merged;
    AggrScraper::addCityToHash(merged, {"k1", "b"}, "nws");
    AggrScraper::addCityToHash(merged, {"k2", "B"}, "nws");
    AggrScraper::addCityToHash(merged, {"k3", "b"}, "ug");
    AggrScraper::mixAggrHashDownToList(merged, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].name, "B");
    EXPECT_EQ(out[1].serviceKeys, (StringMap{{"nws", "k1"}, {"ug", "k3"}}));
}

TEST(AggrScraper, SeveralLocationsRefreshAtOnceBesideAReader) {
    Sources s;
    StubScraper& nws = s.add(AggrScraper::Nws);
    StubScraper& ug = s.add(AggrScraper::Ug);
    nws.answerSearch(SuperScraper::Success, {{"nws-any", "City 0, United States"}});
    ug.answerSearch(SuperScraper::Success, {{"ug-any", "City 0"}});
    nws.answerScrape("nws-any", SuperScraper::Success, outputsScoring(70));
    ug.answerScrape("ug-any", SuperScraper::Success, outputsScoring(100));
    for (int i = 1; i < 6; ++i) nws.answerScrape("nws-" + std::to_string(i), SuperScraper::Success, outputsScoring(85));

    // The shared list, read by another thread under its guard meanwhile.
    std::vector<Location> list;
    list.push_back(locationNamed("City 0, United States"));
    for (int i = 1; i < 6; ++i)
        list.push_back(locationNamed("City " + std::to_string(i), {{"nws", "nws-" + std::to_string(i)}}));
    teskMutex guard;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            std::lock_guard<teskMutex> lock(guard);
            for (const Location& location : list) EXPECT_FALSE(location.name.empty());
        }
    });

    RecordingSink sink;
    std::vector<std::unique_ptr<ScraperThread>> threads;
    CaptureStdout out;
    for (Location& location : list) {
        auto thread = std::make_unique<ScraperThread>(ScraperThread::ScrapeType::Location);
        thread->getLocationSpec().menuController = &sink;
        ScrapeReport report;
        EXPECT_TRUE(s.aggr.startScrape(thread.get(), location, {1, 5}, nullptr, report, &guard));
        threads.push_back(std::move(thread));
    }
    for (auto& thread : threads) thread->join();
    done = true;
    reader.join();
    out.text();

    // The first city was searched as 'City 0': the NWS answer keeps its
    // country and so does not match; the other source does.
    EXPECT_EQ(list[0].name, "City 0");
    EXPECT_EQ(list[0].serviceKeys["nws"], AggrScraper::KeyNotInDb);
    EXPECT_EQ(list[0].serviceKeys["ug"], "ug-any");
    auto reports = sink.reports();
    ASSERT_EQ(reports.size(), 6u);
    std::map<std::string, std::string> byCity;
    for (ScrapeReport& report : reports)
        byCity[report.getInputHashRef()["cityName"]] = report.getInputHashRef()["scrapedBy"];
    EXPECT_EQ(byCity["City 0"], "ug");
    for (int i = 1; i < 6; ++i) EXPECT_EQ(byCity["City " + std::to_string(i)], "nws") << i;
}
