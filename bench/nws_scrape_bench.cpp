// A whole National Weather Service scrape (forecast page and station report)
// through the loopback fixture server: the real report, and reports with one
// huge line that has no ": " in it. The hostile reports should cost about
// what reading their bytes costs, not a search from every position of the line.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "scrapers/NwsScraper.h"
#include "scrapers/scraperLog.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"

namespace {

const char* const kPagePath = "/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX";
const char* const kReportPath = "/pub/data/observations/metar/decoded/KDSM.TXT";

// The real report with a line of `bytes` bytes after its first line: all 'a'
// (no colon), or runs of 'a' each ended by ":x" (colons, none followed by a blank).
std::string reportWithLongLine(size_t bytes, bool colons) {
    const std::string report = fixtureText("nws/observations/KDSM.TXT");
    const size_t firstLineEnd = report.find('\n') + 1;
    std::string line;
    line.reserve(bytes + 1);
    while (line.size() < bytes) line += colons && line.size() % 4096 == 4094 ? ":x" : "a";
    return report.substr(0, firstLineEnd) + line + "\n" + report.substr(firstLineEnd);
}

void scrapeWithReport(benchmark::State& state, const std::string& report) {
    scraperLog::setSink(&scraperLog::discard);
    FixtureServer server(std::string(SKYVANE_FIXTURES_DIR) + "/nws");
    server.route("www.crh.noaa.gov", kPagePath, FixtureReply::page(fixtureText("nws/forecast/point_des_moines.html")));
    server.route(NwsScraper::kObservationHost, kReportPath, FixtureReply::page(report, 200, "text/plain"));
    NwsScraper scraper(shippedConfig("n1"), shippedConfig("n2"), shippedConfig("n3"), shippedConfig("n4"));
    scraper.setHttpProxy("127.0.0.1", server.port());
    std::string key;
    SuperScraper::joinKey({"ifps", "crh", "Des+Moines", "IA", "DMX"}, key);
    for (auto _ : state) {
        ScrapeReport out;
        benchmark::DoNotOptimize(scraper.scrape(key, out));
        if (out.getOutputHashRef().count("temperature") == 0) state.SkipWithError("no temperature");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(report.size()));
    scraperLog::setSink(nullptr);
}

void BM_ScrapeRealReport(benchmark::State& state) {
    scrapeWithReport(state, fixtureText("nws/observations/KDSM.TXT"));
}
BENCHMARK(BM_ScrapeRealReport)->Unit(benchmark::kMillisecond);

void BM_ScrapeReportWithLongLine(benchmark::State& state) {
    scrapeWithReport(state, reportWithLongLine(static_cast<size_t>(state.range(0)), state.range(1) != 0));
}
BENCHMARK(BM_ScrapeReportWithLongLine)
    ->ArgsProduct({{100 << 10, 1000 << 10}, {0, 1}})
    ->ArgNames({"bytes", "colons"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
