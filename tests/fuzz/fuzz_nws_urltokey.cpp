// National Weather Service links over arbitrary text: a link either gives no
// key, or a key of one of the four forms whose display name can be read back.
// Links of the latitude/longitude form are fetched; inputs that could name a
// fetchable URL are left out so the target never reaches the network.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scrapers/NwsScraper.h"
#include "scrapers/scraperLog.h"

// The engine log and the URL helpers' notes would drown the fuzzer's output.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scraperLog::setSink(&scraperLog::discard);
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NwsScraper scraper("", "", "", "");
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The first line is the link, the rest the name the search page gave it.
    const size_t end = text.find('\n');
    const std::string url = text.substr(0, end);
    const std::string name = end == std::string::npos ? std::string() : text.substr(end + 1);
    if (url.find("citysearch.php?lat") != std::string::npos && url.find(':') != std::string::npos) {
        return 0;
    }

    std::string key = "unset";
    if (!scraper.urlToKey(url, name, key, "")) {
        if (key != "unset") std::abort();  // a refused link leaves the key alone
        return 0;
    }
    std::vector<std::string> parts;
    SuperScraper::splitKey(key, parts);
    if (parts.size() != 3 && parts.size() != 5 && parts.size() != 6) std::abort();
    std::string display;
    if (!scraper.keyToCityName(key, display)) std::abort();
    if (display.find('\x01') != std::string::npos) std::abort();
    return 0;
}
