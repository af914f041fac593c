// The scraping hot path: tokenizing weather pages of 25 to 400 KB, side by
// side with gumbo's and libxml2's HTML parsers on the same bytes, and scoring
// a page against a site configuration. Prints the ratios that matter at the
// end of the run.
#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <libxml/HTMLparser.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/weatherPage.h"
#include "scrapers/scraperConfig.h"
#include "scrapers/scraperLog.h"
#include "scrapers/tokenList.h"
#include "scrapers/tokenScorer.h"

namespace {

const std::vector<long> kSizesKb = {25, 50, 100, 200, 400};

const std::string& pageOf(long kb) {
    static std::map<long, std::string> pages;
    auto it = pages.find(kb);
    if (it == pages.end()) it = pages.emplace(kb, weatherPage::make(static_cast<size_t>(kb) * 1024)).first;
    return it->second;
}

const scraperConfig& siteConfig() {
    static const scraperConfig config(weatherPage::config());
    return config;
}

void setBytes(benchmark::State& state, const std::string& page) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_Tokenize(benchmark::State& state) {
    const std::string& page = pageOf(state.range(0));
    for (auto _ : state) {
        tokenList list(page, false, true);
        benchmark::DoNotOptimize(list.size());
    }
    setBytes(state, page);
    state.counters["tokens"] = tokenList(page, false, true).size();
}

void BM_Gumbo(benchmark::State& state) {
    const std::string& page = pageOf(state.range(0));
    for (auto _ : state) {
        GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
        benchmark::DoNotOptimize(output->root);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
    setBytes(state, page);
}

void BM_Libxml2(benchmark::State& state) {
    const std::string& page = pageOf(state.range(0));
    for (auto _ : state) {
        htmlDocPtr doc = htmlReadMemory(page.data(), static_cast<int>(page.size()), nullptr, "iso-8859-1",
                                        HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    setBytes(state, page);
}

void scoreAll(const tokenList& list, std::map<std::string, std::string>& out) {
    tokenScorer scorer;
    for (const scraperConfig::chunk& chunk : siteConfig().getChunkList()) scorer.scoreForChunk(list, chunk, out);
}

// What a scrape does with a fetched page: tokenize its body and score every chunk.
void BM_TokenizeAndScore(benchmark::State& state) {
    const std::string& page = pageOf(state.range(0));
    std::map<std::string, std::string> out;
    for (auto _ : state) {
        tokenList list(page, true, true);
        out.clear();
        scoreAll(list, out);
        benchmark::DoNotOptimize(out);
    }
    setBytes(state, page);
    state.counters["values"] = static_cast<double>(out.size());
}

void BM_ScoreOnly(benchmark::State& state) {
    const std::string& page = pageOf(state.range(0));
    const tokenList list(page, true, true);
    std::map<std::string, std::string> out;
    for (auto _ : state) {
        out.clear();
        scoreAll(list, out);
        benchmark::DoNotOptimize(out);
    }
    setBytes(state, page);
}

void sizes(benchmark::internal::Benchmark* b) {
    for (long kb : kSizesKb) b->Arg(kb);
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Tokenize)->Apply(sizes);
BENCHMARK(BM_Gumbo)->Apply(sizes);
BENCHMARK(BM_Libxml2)->Apply(sizes);
BENCHMARK(BM_TokenizeAndScore)->Apply(sizes);
BENCHMARK(BM_ScoreOnly)->Apply(sizes);

// Keeps the CPU time of every run (the median when repeated) for the ratios:
// CPU time is what the code costs, and it is less disturbed by other work on
// the machine than wall-clock time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && times_.count(run.run_name.str()) == 0) {
                times_[run.run_name.str()] = run.GetAdjustedCPUTime();
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times_[run.run_name.str()] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double time(const std::string& name, long kb) const {
        auto it = times_.find(name + "/" + std::to_string(kb));
        return it == times_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> times_;
};

bool check(bool ok) {
    std::printf("  %s\n", ok ? "met" : "NOT MET");
    return ok;
}

bool printRatios(const RatioReporter& r) {
    bool all = true;
    std::printf("\nRatios (same run, same bytes)\n");
    for (long kb : kSizesKb) {
        const double tok = r.time("BM_Tokenize", kb);
        if (tok <= 0.0) continue;
        std::printf("%4ld KB: tokenizer %.1fx gumbo, %.1fx libxml2", kb, r.time("BM_Gumbo", kb) / tok,
                    r.time("BM_Libxml2", kb) / tok);
        all &= check(r.time("BM_Gumbo", kb) / tok >= 5.0);
    }
    const double scored = r.time("BM_TokenizeAndScore", 100);
    if (scored > 0.0) {
        std::printf(" 100 KB: gumbo parse / (tokenize + score %zu chunks) = %.2f",
                    siteConfig().getChunkList().size(), r.time("BM_Gumbo", 100) / scored);
        all &= check(r.time("BM_Gumbo", 100) / scored >= 1.0);
    }
    for (size_t i = 0; i + 1 < kSizesKb.size(); ++i) {
        const double small = r.time("BM_ScoreOnly", kSizesKb[i]);
        const double large = r.time("BM_ScoreOnly", kSizesKb[i + 1]);
        if (small <= 0.0 || large <= 0.0) continue;
        std::printf("scoring %ld -> %ld KB grows %.2fx", kSizesKb[i], kSizesKb[i + 1], large / small);
        all &= check(large / small <= 2.2);
    }
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    scraperLog::setSink(&scraperLog::discard);
    // Medians of five repetitions unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    bool repeated = false;
    for (int i = 1; i < argc; ++i) repeated |= std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!repeated) {
        args.push_back(repetitions.data());
        args.push_back(aggregates.data());
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bool met = printRatios(reporter);
    benchmark::Shutdown();
    xmlCleanupParser();
    return met ? 0 : 2;
}
