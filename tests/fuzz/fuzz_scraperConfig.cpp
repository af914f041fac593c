// The configuration language over arbitrary text: it must end, keep exactly
// one data token in every stored copy of a chunk, and the scorer must cope
// with whatever the settings say.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scrapers/scraperConfig.h"
#include "scrapers/scraperLog.h"
#include "scrapers/tokenList.h"
#include "scrapers/tokenScorer.h"

namespace {

const char* const kPage =
    "<html><body><table><tr><td class=label>Temperature</td><td>72&deg;F</td></tr>"
    "<tr><td class=label>Humidity</td><td>64%</td></tr></table>"
    "<img src=/i/sun.gif><p>Partly&nbsp;Cloudy</p></body></html>";

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    scraperLog::setSink(&scraperLog::discard);
    std::string text(reinterpret_cast<const char*>(data), size);
    // Template patterns are our own authored text and every compiled pattern
    // stays in the process-wide cache: keep the fuzzer's bytes away from
    // regcomp (the regular-expression layer has its own target).
    for (size_t pos = text.find("regex"); pos != std::string::npos; pos = text.find("regex", pos + 1)) {
        text[pos] = 'R';
    }

    const scraperConfig config(text);
    for (const scraperConfig::chunk& chunk : config.getChunkList()) {
        const int dataTokens = chunk.templateTokens.getNumberOfDataTokens();
        check(dataTokens <= 1);
        if (dataTokens == 1) {
            auto desired = chunk.config.find(scraperConfig::DESIRED_TOKEN);
            check(desired != chunk.config.end() && desired->second == chunk.templateTokens.getDataTokenKey());
        }
    }

    static const tokenList page(kPage, true, true);
    tokenScorer scorer;
    std::map<std::string, std::string> out;
    for (const scraperConfig::chunk& chunk : config.getChunkList()) scorer.scoreForChunk(page, chunk, out);
    std::map<std::string, std::string> entry;
    scraperConfig copy = config;
    copy.getDataForCode(31, entry);
    copy.getDataForCode(text.substr(0, 8), entry);
    return 0;
}
