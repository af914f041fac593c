#include "scrapers/AolScraper.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "model/CodeTables.h"
#include "scrapers/scraperLog.h"
#include "util/StringMap.h"
#include "util/regex.h"

namespace {

// Reads a whole-number prefix ("68", "50%"); false when there is none.
bool readNumber(const std::string& text, long& value) {
    bool ok = false;
    value = stringToLong(text, ok);
    return ok;
}

}  // namespace

AolScraper::AolScraper(const std::string& searchText, const std::string& scrapeText)
    : FlexiScraper(searchText, scrapeText) {}

int AolScraper::search(const std::string& cityName, std::vector<SuperScraper::City>&) {
    std::string header;
    std::string page;
    StringMap fetched;
    const int status = fetchURL(header, page, searchConfig_, encodeString(cityName), fetched, false);
    if (status != Success) return status;
    // The results page is read, but its links are not taken as keys.
    StringMap input;
    StringMap found;
    scoreData(page, searchConfig_, input, found);
    return EmptyKey;
}

std::string AolScraper::dewPoint(const std::string& temperature, const std::string& humidity) {
    long t = 0;
    long h = 0;
    // Judged before narrowing: a huge number cut to int could look valid.
    if (!readNumber(temperature, t) || t < INT_MIN || t > INT_MAX || !isValidTemperature(static_cast<int>(t))) {
        return "Unavailable";
    }
    if (!readNumber(humidity, h)) h = 0;  // an empty or unreadable humidity counts as none
    if (h <= 1 || h > 100) return "Unavailable";

    // Magnus formula over the saturation vapour pressure, in single precision.
    const float c = 0.5555555555555556 * (static_cast<float>(t) - 32.0);
    const float es = 6.11 * std::pow(10.0, 7.5 * c / (237.7 + c));
    const float e = static_cast<float>(h) * es / 100.0;
    const float lnE = std::log(e);
    const float dc = (lnE * 237.7 - 430.22) / (19.08 - lnE);
    const float df = dc * 1.8 + 32.0;
    if (!std::isfinite(df)) return "Unavailable";
    return std::to_string(static_cast<int>(df));
}

int AolScraper::scrape(const std::string& key, ScrapeReport& report) {
    // Every chunk is wanted, favorites included.
    report.setInput("in_tokens", "");
    const int status = FlexiScraper::scrape(key, report);
    if (status != Success) return status;

    StringMap& out = report.getOutputHashRef();
    const auto temperature = out.find("temperature");
    const auto humidity = out.find("humidity");
    if (temperature == out.end() || humidity == out.end()) return status;

    std::string percent = humidity->second;
    if (percent.empty() || percent.back() != '%') percent += "%";
    out["humidity"] = percent;
    out["dewpoint"] = dewPoint(temperature->second, percent);

    // Once more, so that the display table and the score hold the new values.
    setTzUsingCityName(out);
    postProcessScrape(report);
    return status;
}

bool AolScraper::insertCity(const std::string& url, const std::string& name,
                            std::vector<SuperScraper::City>& cities) {
    std::string key;
    if (!regex::matchOne("([A-Z]{4,4}[0-9]{4,4})", url, key, RegexFlags::Extended) || key.empty()) return false;

    std::string cityName = name;
    if (cityName.empty()) {
        ScrapeReport scratch;
        scratch.setInput("in_tokens", "name");
        if (scrape(key, scratch) != Success) return false;
        cityName = getHash(scratch.getOutputHashRef(), "name", "");
        if (cityName.empty()) return false;
    }

    std::vector<std::string> pieces;
    regex::split(",[ ]", cityName, pieces, RegexFlags::Extended);
    for (const std::string& piece : pieces) scraperLog::print("name pair=[" + piece + "]\n");
    // "City, State, Country": the state becomes its two-letter code.
    if (pieces.size() == 3) {
        const std::string abbrev = stateNameToStateAbbrev(pieces[1]);
        if (!abbrev.empty()) cityName = pieces[0] + ", " + abbrev + ", " + pieces[2];
    }
    cities.push_back(SuperScraper::City{key, cityName});
    return true;
}
