// National Weather Service display names of arbitrary keys: a key of any
// shape is either refused or named, the name never carries the key
// separator, and a refused key leaves the name alone.
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
    const std::string key(reinterpret_cast<const char*>(data), size);
    std::string name = "unset";
    if (!scraper.keyToCityName(key, name)) {
        if (name != "unset") std::abort();
        return 0;
    }
    if (name.find('\x01') != std::string::npos) std::abort();

    std::vector<std::string> parts;
    SuperScraper::splitKey(key, parts);
    if (parts.size() != 3 && parts.size() != 5 && parts.size() != 6) std::abort();

    std::vector<SuperScraper::City> cities;
    if (!scraper.insertCityFromKey(key, cities) || cities.size() != 1 || cities[0].name != name) std::abort();
    return 0;
}
