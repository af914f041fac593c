#include "scrapers/ScraperThread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ScraperThreadStubs.h"
#include "support/CaptureStream.h"

namespace {

using Type = ScraperThread::ScrapeType;

// A location thread for 'Boston' with the inputs the refresh cycle sets.
std::unique_ptr<ScraperThread> bostonThread(StubScraper* primary, StubScraper* backup, WeatherDataSink* sink) {
    auto thread = std::make_unique<ScraperThread>(Type::Location);
    ScraperThread::LocationSpec& spec = thread->getLocationSpec();
    spec.primaryScraper = primary;
    spec.primaryKey = "primary-key";
    spec.backupScraper = backup;
    spec.backupKey = "backup-key";
    spec.location.name = "Boston, MA";
    spec.menuController = sink;
    spec.report.setInput("isFavorite", "0");
    spec.report.setInput("favIndex", "2");
    spec.report.setInput("radar", "0");
    spec.report.setInput("advance", "1");
    return thread;
}

// Runs a location thread to its end; what it wrote to standard output.
std::string runToEnd(ScraperThread& thread) {
    CaptureStdout out;
    EXPECT_TRUE(thread.startLocation());
    thread.join();
    return out.text();
}

// A primary and a backup source whose answers each test sets, and a sink.
class ScraperThreadFallback : public ::testing::Test {
protected:
    // Runs a 'Boston' thread with the primary and, when asked, the backup;
    // what it wrote to standard output.
    std::string run(bool withBackup) {
        thread_ = bostonThread(&primary_, withBackup ? &backup_ : nullptr, &sink_);
        return runToEnd(*thread_);
    }

    StubScraper primary_{"primary"};
    StubScraper backup_{"backup"};
    RecordingSink sink_;
    std::unique_ptr<ScraperThread> thread_;
};

}  // namespace

TEST(ScraperThread, EachKindStartsOnlyAsItself) {
    StubScraper source;
    source.answerSearch(SuperScraper::Success, {{"k", "Boston, MA"}});
    RecordingSink sink;

    ScraperThread search(Type::Search);
    search.getSearchSpec().scraper = &source;
    EXPECT_FALSE(search.startLocation());
    EXPECT_FALSE(search.isStarted());

    auto location = bostonThread(&source, nullptr, &sink);
    EXPECT_FALSE(location->startSearch());
    EXPECT_FALSE(location->isStarted());
    location->join();  // never started: returns at once

    EXPECT_TRUE(source.searched().empty());
    EXPECT_TRUE(source.scraped().empty());
    EXPECT_TRUE(sink.reports().empty());
    EXPECT_EQ(search.getSearchSpec().cities, nullptr);
}

TEST(ScraperThread, SearchFillsTheRecord) {
    StubScraper source;
    source.answerSearch(SuperScraper::Success, {{"k1", "Springfield, IL"}, {"k2", "Springfield, MO"}});
    ScraperThread thread(Type::Search);
    thread.getSearchSpec().scraper = &source;
    thread.getSearchSpec().searchText = "Springfield";
    thread.getSearchSpec().status = SuperScraper::NoScraper;
    ASSERT_TRUE(thread.startSearch());
    thread.join();

    const ScraperThread::SearchSpec& spec = thread.getSearchSpec();
    EXPECT_EQ(spec.status, SuperScraper::Success);
    ASSERT_NE(spec.cities, nullptr);
    ASSERT_EQ(spec.cities->size(), 2u);
    EXPECT_EQ((*spec.cities)[1].key, "k2");
    EXPECT_EQ(source.searched(), std::vector<std::string>{"Springfield"});

    StubScraper failing;
    failing.answerSearch(SuperScraper::FetchFailed, {});
    ScraperThread second(Type::Search);
    second.getSearchSpec().scraper = &failing;
    ASSERT_TRUE(second.startSearch());
    second.join();
    EXPECT_EQ(second.getSearchSpec().status, SuperScraper::FetchFailed);
    ASSERT_NE(second.getSearchSpec().cities, nullptr);
    EXPECT_TRUE(second.getSearchSpec().cities->empty());
}

TEST_F(ScraperThreadFallback, GoodPrimaryIsHandedOnWithoutTheBackup) {
    primary_.answerScrape("primary-key", SuperScraper::Success, outputsScoring(85));
    backup_.answerScrape("backup-key", SuperScraper::Success, outputsScoring(100));
    EXPECT_EQ(run(true).find("using backup"), std::string::npos);
    EXPECT_TRUE(backup_.scraped().empty());
    EXPECT_EQ(primary_.scraped(), std::vector<std::string>{"primary-key"});

    // The record keeps the scored report; the sink gets a copy with score 0
    // that carries every input, the tables and the status.
    EXPECT_EQ(thread_->getLocationSpec().report.score(), 85);
    EXPECT_EQ(thread_->getLocationSpec().status, SuperScraper::Success);
    auto reports = sink_.reports();
    ASSERT_EQ(reports.size(), 1u);
    ScrapeReport& handed = reports[0];
    EXPECT_EQ(handed.score(), 0);
    EXPECT_EQ(handed.getStatus(), SuperScraper::Success);
    StringMap& in = handed.getInputHashRef();
    EXPECT_EQ(in["cityName"], "Boston, MA");
    EXPECT_EQ(in["isFavorite"], "0");
    EXPECT_EQ(in["favIndex"], "2");
    EXPECT_EQ(in["radar"], "0");
    EXPECT_EQ(in["advance"], "1");
    EXPECT_EQ(in["scrapedBy"], "primary");
    EXPECT_EQ(handed.getOutputHashRef()["temperature"], "72");
    EXPECT_EQ(handed.getDisplayHashRef()["code-2"], "26");
}

TEST_F(ScraperThreadFallback, LowPrimaryFallsBackEvenToAWorseBackup) {
    primary_.answerScrape("primary-key", SuperScraper::Success, outputsScoring(70));
    backup_.answerScrape("backup-key", SuperScraper::Success, outputsScoring(30));
    EXPECT_EQ(run(true), "Skyvane: using backup location! status=[0] score=[70]\n");
    EXPECT_EQ(backup_.scraped(), std::vector<std::string>{"backup-key"});

    auto reports = sink_.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].getInputHashRef()["scrapedBy"], "backup");
    EXPECT_EQ(reports[0].getInputHashRef()["cityName"], "Boston, MA");
    EXPECT_EQ(reports[0].getInputHashRef()["favIndex"], "2");
    // Nothing of the primary's values survives the rescrape.
    EXPECT_EQ(reports[0].getOutputHashRef().count("weatherCode"), 0u);
    EXPECT_EQ(reports[0].getDisplayHashRef().count("code-1"), 0u);
    EXPECT_EQ(reports[0].getOutputHashRef()["temperature"], "72");
    EXPECT_EQ(thread_->getLocationSpec().report.score(), 30);
}

TEST_F(ScraperThreadFallback, FailedPrimaryFallsBackAndReportsTheBackupsStatus) {
    primary_.answerScrape("primary-key", SuperScraper::FetchFailed);
    backup_.answerScrape("backup-key", SuperScraper::FetchFailed);
    EXPECT_EQ(run(true), "Skyvane: using backup location! status=[3] score=[0]\n");
    auto reports = sink_.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].getStatus(), SuperScraper::FetchFailed);
    EXPECT_EQ(reports[0].getInputHashRef()["scrapedBy"], "backup");
    EXPECT_EQ(thread_->getLocationSpec().status, SuperScraper::FetchFailed);

    // A good backup after a failed primary: its success is what is handed on.
    backup_.answerScrape("backup-key", SuperScraper::Success, outputsScoring(75));
    run(true);
    ASSERT_EQ(sink_.reports().size(), 2u);
    EXPECT_EQ(sink_.reports()[1].getStatus(), SuperScraper::Success);
    EXPECT_EQ(thread_->getLocationSpec().status, SuperScraper::Success);
}

TEST_F(ScraperThreadFallback, LowPrimaryWithoutBackupIsHandedOnUnchanged) {
    // A temperature alone, or a weather code alone, is weather to show.
    primary_.answerScrape("primary-key", SuperScraper::Success, outputsScoring(30));
    EXPECT_EQ(run(false).find("using backup"), std::string::npos);
    primary_.answerScrape("primary-key", SuperScraper::Success, outputsScoring(20));
    run(false);
    auto reports = sink_.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].getStatus(), SuperScraper::Success);
    EXPECT_EQ(reports[0].getInputHashRef()["scrapedBy"], "primary");
    EXPECT_EQ(reports[0].getDisplayHashRef()["temperature"], "72");
    EXPECT_EQ(reports[1].getStatus(), SuperScraper::Success);
    EXPECT_EQ(reports[1].getDisplayHashRef()["temperature"], "n/a");
    EXPECT_EQ(reports[1].getDisplayHashRef()["weatherCode"], "26");
}

TEST_F(ScraperThreadFallback, ABackupThatFindsNoWeatherIsHandedOnAsAFailedRead) {
    primary_.answerScrape("primary-key", SuperScraper::Success, outputsScoring(30));
    backup_.answerScrape("backup-key", SuperScraper::Success, {{"temperature", "900"}, {"code-1", "26"}});
    EXPECT_NE(run(true).find("Skyvane: no weather found for [Boston, MA]"), std::string::npos);
    ASSERT_EQ(sink_.reports().size(), 1u);
    EXPECT_EQ(sink_.reports()[0].getStatus(), SuperScraper::EmptyKey);
    EXPECT_EQ(getHash(sink_.reports()[0].getInputHashRef(), "scrapedBy", ""), "backup");
}

TEST(ScraperThread, WithoutSinkOrPrimaryNothingBreaks) {
    // The setup program hands nothing on: the record alone holds the result.
    StubScraper primary("primary");
    primary.answerScrape("primary-key", SuperScraper::Success, outputsScoring(100));
    auto thread = bostonThread(&primary, nullptr, nullptr);
    runToEnd(*thread);
    EXPECT_EQ(thread->getLocationSpec().report.score(), 100);
    EXPECT_EQ(thread->getLocationSpec().report.getInputHashRef()["cityName"], "Boston, MA");

    // A record without a primary source reports "no scraper" instead of an
    // empty success.
    RecordingSink sink;
    auto empty = bostonThread(nullptr, nullptr, &sink);
    runToEnd(*empty);
    ASSERT_EQ(sink.reports().size(), 1u);
    EXPECT_EQ(sink.reports()[0].getStatus(), SuperScraper::NoScraper);
    EXPECT_EQ(sink.reports()[0].getInputHashRef()["cityName"], "Boston, MA");
}

TEST(ScraperThread, ParallelThreadsShareSourcesAndSink) {
    StubScraper primary("primary"), backup("backup");
    primary.answerScrape("good", SuperScraper::Success, outputsScoring(85));
    primary.answerScrape("weak", SuperScraper::Success, outputsScoring(30));
    backup.answerScrape("backup-key", SuperScraper::Success, outputsScoring(100));
    RecordingSink sink;

    std::vector<std::unique_ptr<ScraperThread>> threads;
    CaptureStdout out;
    for (int i = 0; i < 8; ++i) {
        auto thread = bostonThread(&primary, &backup, &sink);
        thread->getLocationSpec().location.name = "City " + std::to_string(i);
        thread->getLocationSpec().primaryKey = i % 2 == 0 ? "good" : "weak";
        ASSERT_TRUE(thread->startLocation());
        threads.push_back(std::move(thread));
    }
    for (auto& thread : threads) thread->join();
    std::string text = out.text();

    auto reports = sink.reports();
    ASSERT_EQ(reports.size(), 8u);
    std::map<std::string, std::string> byCity;
    for (ScrapeReport& report : reports) {
        byCity[report.getInputHashRef()["cityName"]] = report.getInputHashRef()["scrapedBy"];
    }
    ASSERT_EQ(byCity.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(byCity["City " + std::to_string(i)], i % 2 == 0 ? "primary" : "backup") << i;
    }
    EXPECT_EQ(backup.scraped().size(), 4u);
    // Four whole backup lines, none torn by another thread's output.
    size_t lines = 0;
    for (size_t at = text.find("Skyvane: using backup location! status=[0] score=[30]\n"); at != std::string::npos;
         at = text.find("Skyvane: using backup location! status=[0] score=[30]\n", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 4u);
}

TEST(ScraperThread, DeletingARunningThreadWaitsForIt) {
    StubScraper primary("primary");
    primary.answerScrape("primary-key", SuperScraper::Success, outputsScoring(85));
    RecordingSink sink;
    {
        auto thread = bostonThread(&primary, nullptr, &sink);
        ASSERT_TRUE(thread->startLocation());
    }  // destroyed without an explicit join
    EXPECT_EQ(sink.reports().size(), 1u);
}
