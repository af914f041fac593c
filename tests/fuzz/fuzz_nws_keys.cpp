// National Weather Service keys over arbitrary text. The whole input as a
// key is either refused, leaving the name alone, or named without the key
// separator. Its first line as a link (the rest the name the search page gave
// it) either gives no key, leaving the key alone, or a key of one of the
// forms whose name can be read back. Latitude/longitude links are fetched,
// so inputs that could name a fetchable URL are not tried as links.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scrapers/NwsScraper.h"
#include "scrapers/scraperLog.h"

namespace {

void checkForm(const std::string& key) {
    std::vector<std::string> parts;
    SuperScraper::splitKey(key, parts);
    if (parts.size() != 3 && parts.size() != 5 && parts.size() != 6) std::abort();
}

}  // namespace

// The engine log and the URL helpers' notes would drown the fuzzer's output.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scraperLog::setSink(&scraperLog::discard);
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NwsScraper scraper("", "", "", "");
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::string name = "unset";
    if (!scraper.keyToCityName(text, name)) {
        if (name != "unset") std::abort();
    } else {
        if (name.find('\x01') != std::string::npos) std::abort();
        checkForm(text);
        std::vector<SuperScraper::City> cities;
        if (!scraper.insertCityFromKey(text, cities) || cities.size() != 1 || cities[0].name != name) std::abort();
    }

    const size_t end = text.find('\n');
    const std::string url = text.substr(0, end);
    const std::string searchName = end == std::string::npos ? std::string() : text.substr(end + 1);
    if (url.find("citysearch.php?lat") != std::string::npos && url.find(':') != std::string::npos) return 0;
    std::string key = "unset";
    if (!scraper.urlToKey(url, searchName, key, "")) {
        if (key != "unset") std::abort();
        return 0;
    }
    checkForm(key);
    std::string display;
    if (!scraper.keyToCityName(key, display) || display.find('\x01') != std::string::npos) std::abort();
    return 0;
}
