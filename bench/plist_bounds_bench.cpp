// The pre-check every preference file goes through before it is parsed
// (platform/PlistBounds.h), on files as large as it accepts: one made of
// nothing but declarations ("<!x>" lines), which the check once searched to
// the end of the text at each, and a plain property list of the same size
// (an array of 200-byte strings). Both must take time linear in their size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "platform/PlistBounds.h"

namespace {

std::string declarations(size_t bytes) {
    std::string text;
    text.reserve(bytes);
    while (text.size() + 5 <= bytes) text += "<!x>\n";
    return text;
}

std::string plainList(size_t bytes) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n";
    const std::string tail = "</array>\n</plist>\n";
    const std::string item = "\t<string>" + std::string(200, 'w') + "</string>\n";
    std::string text = head;
    text.reserve(bytes);
    while (text.size() + item.size() + tail.size() <= bytes) text += item;
    return text + tail;
}

void measure(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        auto problem = plist::boundsProblem(text);
        if (problem) {
            state.SkipWithError(problem->c_str());
            break;
        }
        benchmark::DoNotOptimize(problem);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_BoundsDeclarations(benchmark::State& state) {
    measure(state, declarations(static_cast<size_t>(state.range(0)) << 20));
}

void BM_BoundsPlainList(benchmark::State& state) {
    measure(state, plainList(static_cast<size_t>(state.range(0)) << 20));
}

}  // namespace

// Sizes in MiB; 64 is the largest file the reader accepts.
BENCHMARK(BM_BoundsDeclarations)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoundsPlainList)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
