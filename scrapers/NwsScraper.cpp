// Construction and the city search of the National Weather Service source.

#include "scrapers/NwsScraper.h"
#include "scrapers/scraperLog.h"


#include "util/UrlUtils.h"
#include "util/http.h"
#include "util/regex.h"

const char* const NwsScraper::kDomainPattern = "noaa[.]gov";
const char* const NwsScraper::kDomainFirstLabel = "noaa";
const char* const NwsScraper::kObservationHost = "weather.noaa.gov";

namespace {
// The link a city-search page hands the browser through location.replace().
const char* const kReplacePattern = "replace[(]'([^']+)";
const int kTimeoutSecs = 5;
}  // namespace

NwsScraper::NwsScraper(const std::string& searchText, const std::string& scrapeText,
                       const std::string& totalForecastText, const std::string& latLonText)
    : FlexiScraper(searchText, scrapeText), totalForecastConfig_(totalForecastText), latLonConfig_(latLonText) {}

bool NwsScraper::fetchPage(const std::string& url, bool followRedirect, std::string& header, std::string& page) {
    const HttpProxy proxy = httpProxyForUrl(url);
    std::string redirect;
    UrlUtils urls = fetcher();
    return urls.accessUrlWithPlimLib(url, redirect, header, page, kTimeoutSecs, followRedirect, proxy.host,
                                     proxy.port);
}

int NwsScraper::search(const std::string& cityName, std::vector<SuperScraper::City>& cities) {
    const std::string query = encodeString(cityName);
    std::string header;
    std::string page;
    std::map<std::string, std::string> scratch;
    const int status = fetchURL(header, page, searchConfig_, query, scratch, false);
    if (status != 0) {
        scraperLog::print("Fetch failed!\n");
        return status;
    }

    std::string location;
    if (!http::isRedirect(header, location)) {
        return gatherSearchResults("", page, cities);
    }

    std::string key;
    if (location.find("citysearch") == std::string::npos) {
        if (urlToKey(location, cityName, key, "")) {
            insertCityFromKey(key, cities);
        }
        return 0;
    }

    // A city-search page: either it sends the browser on to one forecast
    // page, or it lists the places that fit.
    std::string searchHeader;
    std::string searchPage;
    if (!fetchPage(location, false, searchHeader, searchPage)) {
        scraperLog::print(std::string("Failed to access url[") + location + "]\n");
        return 3;
    }
    std::string link;
    if (!regex::matchOne(kReplacePattern, searchPage, link, RegexFlags::Extended)) {
        return gatherSearchResults(location, searchPage, cities);
    }
    link = UrlUtils::buildUrlFromHref(link, location);
    if (urlToKey(link, cityName, key, location)) {
        insertCityFromKey(key, cities);
    }
    return 0;
}

int NwsScraper::gatherSearchResults(const std::string& pageUrl, std::string& page,
                                    std::vector<SuperScraper::City>& cities) {
    ScrapeReport scratch;
    scratch.setInput("in_tokens", "url,name");
    const int status = scoreData(page, searchConfig_, scratch.getInputHashRef(), scratch.getOutputHashRef());

    std::vector<std::string> urls;
    std::vector<std::string> names;
    getNumberedKeys(scratch.getOutputHashRef(), "url", urls);
    getNumberedKeys(scratch.getOutputHashRef(), "name", names);
    for (size_t i = 0; i < urls.size(); ++i) {
        // A link without a name of its own gets an empty one.
        const std::string name = i < names.size() ? names[i] : std::string();
        std::string key;
        if (urlToKey(urls[i], name, key, pageUrl)) {
            insertCityFromKey(key, cities);
        }
    }
    return status;
}
