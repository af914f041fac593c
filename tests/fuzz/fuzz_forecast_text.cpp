// Forecast prose, forecast period tables and key merging over arbitrary bytes:
// nothing may crash, loop or write a temperature out of range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scrapers/FlexiScraper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FlexiScraper scraper("", "");
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::map<std::string, std::string> out;
    scraper.setHiLoFromDescription(1, text, out);
    for (const auto& [key, value] : out) {
        const int t = std::atoi(value.c_str());
        if (!FlexiScraper::isValidTemperature(t)) std::abort();
    }

    // The same bytes cut into forecast periods.
    std::map<std::string, std::string> periods;
    size_t start = 0;
    for (int n = 1; n <= 12 && start <= text.size(); ++n) {
        size_t end = text.find('|', start);
        if (end == std::string::npos) end = text.size();
        const std::string piece = text.substr(start, end - start);
        periods[FlexiScraper::composeNumberedKey(n % 3 == 0 ? "forecast-info" : "day", n)] = piece;
        periods[FlexiScraper::composeNumberedKey("icon", n)] = piece.substr(0, 2);
        periods[FlexiScraper::composeNumberedKey("high", n)] = piece.substr(0, 3);
        start = end + 1;
    }
    scraper.parseTextForecast(periods);

    std::string merged;
    scraper.mergeKeysIntoString(text, text, "uri_key", merged);
    scraper.mergeKeysIntoString("/x?a=<uri_key><%idx=1>&b=<uri_key>", text, "uri_key", merged);
    return 0;
}
