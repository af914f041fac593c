// Unit conversions, report post-processing and composite location keys over
// arbitrary page text: every parse stays inside its text and its fields, the
// minutes of a day stay within the day, and a key without a trailing
// separator survives a split and a join unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "model/UnitConverter.h"
#include "scrapers/SuperScraper.h"

// The report logs every rejected icon code to standard output; keep the
// fuzzer's own output readable.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    for (int units = UnitConverter::None; units <= UnitConverter::Kelvin; ++units) {
        auto u = static_cast<UnitConverter::Units>(units);
        std::string t = text, w = text, v = text, b = text;
        UnitConverter::convFahrenheit(t, u);
        UnitConverter::convWind(w, u);
        UnitConverter::convVisibility(v, u);
        UnitConverter::convBarometer(b, u);
        // A rewritten text is bounded by its buffer; an unchanged one is the input.
        if (u != UnitConverter::None && t != text && t.size() > 19) std::abort();
        if (w != text && w.size() > 31) std::abort();
        if (v != text && v.size() > 31) std::abort();
        if (b != text && b.size() > 63) std::abort();
    }
    UnitConverter::celsiusToFahrenheitStr(text);

    int minutes = std::atoi(ScrapeReport::timeToMinutes(text).c_str());
    if (minutes < 0 || minutes > 1439) std::abort();

    ScrapeReport report;
    report.getOutputHashRef() = {{"wind", text}, {"temperature", text}, {"weatherCode", text}, {"sunrise", text}};
    report.postProcess();
    if (report.score() < 0 || report.score() > 100) std::abort();
    report.getDisplayableHash(UnitConverter::Both);

    std::vector<std::string> parts;
    SuperScraper::splitKey(text, parts);
    std::string joined;
    SuperScraper::joinKey(parts, joined);
    if ((text.empty() || text.back() != SuperScraper::keySeparator) && joined != text) std::abort();
    std::vector<std::string> again;
    SuperScraper::splitKey(joined, again);
    // Joining keeps the components, but for an empty last one, which has
    // nothing to stand on after its separator.
    if ((parts.empty() || !parts.back().empty()) && again != parts) std::abort();
    return 0;
}
