// Cost of the regular-expression layer the scrapers lean on: a cached
// construction, and global matching over a page-sized text.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "util/regex.h"

static void BM_CachedConstruction(benchmark::State& state) {
    for (auto _ : state) {
        regex r("<td[^>]*>([^<]*)</td>", 1);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_CachedConstruction);

static void BM_MatchManyGlobal(benchmark::State& state) {
    std::string page;
    while (page.size() < static_cast<size_t>(state.range(0))) {
        page += "<tr><td class=\"label\">Humidity</td><td>64%</td></tr>\n";
    }
    regex r("<td>([^<]*)</td>", 1);
    for (auto _ : state) {
        std::vector<std::string> out;
        r.matchManyGlobal(page, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_MatchManyGlobal)->Arg(25 << 10)->Arg(100 << 10);

BENCHMARK_MAIN();
