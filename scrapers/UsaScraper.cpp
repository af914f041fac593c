#include "scrapers/UsaScraper.h"

#include "scrapers/scraperLog.h"
#include "util/http.h"
#include "util/regex.h"

UsaScraper::UsaScraper(const std::string& searchText, const std::string& scrapeText)
    : FlexiScraper(searchText, scrapeText) {}

int UsaScraper::search(const std::string& cityName, std::vector<SuperScraper::City>& cities) {
    std::string header;
    std::string page;
    // The fetch's own record (its URL) is kept apart from the results, so
    // that it can never be paired with a name as a city key.
    StringMap fetched;
    int status = fetchURL(header, page, searchConfig_, encodeString(cityName), fetched, false);
    if (status != Success) return status;

    StringMap found;
    std::string location;
    if (http::isRedirect(header, location)) {
        // The site went straight to one location's page.
        std::string key;
        if (!regex::matchOne("LocationID[=]([A-Z]{4,4}[0-9]{4,4})", location, key, RegexFlags::Extended) ||
            key.empty()) {
            return EmptyKey;
        }
        ScrapeReport scratch;
        scratch.setInput("in_tokens", "name");
        status = scrape(key, scratch);
        if (status != Success) return status;
        found["url"] = key;
        found["name"] = getHash(scratch.getOutputHashRef(), "name", "");
    } else {
        StringMap input;
        status = scoreData(page, searchConfig_, input, found);
    }
    if (status == Success) getCities(found, cities);
    return status;
}

void UsaScraper::cleanText(std::string& text) {
    FlexiScraper::cleanText(text);
    text = regex::substitute("[()]", text, "", RegexFlags::Extended);
    text = regex::substitute("[,] United States", text, "", RegexFlags::Extended);
}

void UsaScraper::pushToKeyList(StringMap& table, const std::string& key, const std::string& value) {
    std::vector<std::string> values;
    getNumberedKeys(table, key, values);
    values.insert(values.begin(), value);
    setNumberedKeys(table, key, values);
}

int UsaScraper::scrape(const std::string& key, ScrapeReport& report) {
    StringMap& display = report.getDisplayHashRef();
    setCredit(scrapeConfig_, display);
    std::string header;
    std::string page;
    const int fetchStatus = fetchURL(header, page, scrapeConfig_, key, display, false);
    if (fetchStatus != Success) {
        scraperLog::print("usa failed to retrieve data for key=[" + key + "]\n");
        return fetchStatus;
    }

    // Every chunk is wanted, favorites included.
    report.setInput("in_tokens", "");
    StringMap& out = report.getOutputHashRef();
    const int status = scoreData(page, scrapeConfig_, report.getInputHashRef(), out);
    // A page that gave no value at all is not this site's weather page: no
    // forecast list is started from it.
    if (out.empty()) {
        postProcessScrape(report);
        return status;
    }

    // The rest of today leads the forecast, with the current code and
    // today's values; missing ones still put an empty entry in front.
    const std::string high = getHash(out, "todayhigh", "");
    const std::string low = getHash(out, "todaylow", "");
    pushToKeyList(out, "day", "Later");
    pushToKeyList(out, "code", getHash(out, "weatherCode", ""));
    // A single value for today is tonight's low.
    pushToKeyList(out, "high", high == low ? std::string() : high);
    pushToKeyList(out, "low", low);

    const auto wind = out.find("wind");
    if (wind != out.end() && wind->second == "CALM") wind->second = "Calm";

    setTzUsingCityName(out);
    postProcessScrape(report);
    return status;
}
