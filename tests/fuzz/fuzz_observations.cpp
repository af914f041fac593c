// Station observation reports over arbitrary bytes. Every line splits into a
// label and a value exactly as the field pattern "([^:]*)[:] (.*)" would split
// it, and reading a whole report ends and writes only the values it may. An
// input whose first byte is odd is repeated into one line longer than any
// line that is searched, so the long-line path is taken too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "scrapers/NwsScraper.h"
#include "scrapers/scanLimits.h"
#include "scrapers/scraperLog.h"
#include "util/regex.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scraperLog::setSink(&scraperLog::discard);
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NwsScraper scraper("", "", "", "");
    static regex field("([^:]*)[:] (.*)", RegexFlags::Extended);
    std::string text(reinterpret_cast<const char*>(data), size);

    // The pattern costs up to the square of a line's length: compare on short lines only.
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, std::min<size_t>(end - start, 512));
        std::vector<std::string> groups;
        const bool matched = field.matchMany(line, groups) && groups.size() == 2;
        std::string label;
        std::string value;
        if (NwsScraper::splitObservationLine(line, label, value) != matched) std::abort();
        if (matched && (label != groups[0] || value != groups[1])) std::abort();
        start = end + 1;
    }

    if (!text.empty() && (text[0] & 1) != 0) {
        const std::string unit = text;
        while (text.size() <= scanLimits::kMaxSearchedText) text += unit;
    }
    std::map<std::string, std::string> output;
    if (!scraper.readObservationText(text, output)) std::abort();  // no stop flag: it always ends
    static const std::set<std::string> allowed = {"visibility"};
    for (const auto& entry : output) {
        if (allowed.count(entry.first) == 0) std::abort();
    }
    return 0;
}
