#include "scrapers/UgScraper.h"

#include <syslog.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "model/CodeTables.h"
#include "model/UnitConverter.h"
#include "model/WeatherUtil.h"
#include "util/http.h"
#include "util/regex.h"

const char* const UgScraper::kFavoriteTokens = "name,time,curtime,weatherCode,temperature,sunrise,sunset,condition-word";
const char* const UgScraper::kFullTokens =
    "name,time,curtime,temperature,humidity,wind_speed,wind_dir,dewpoint,barometer,visibility,sunrise,sunset,"
    "condition-word,forecast-info,day,icon";

namespace {

constexpr int kExtended = RegexFlags::Extended;

// The forecast periods whose Canadian highs and lows are converted from Celsius.
constexpr int kFirstCelsiusPeriod = 0;
constexpr int kLastCelsiusPeriod = 7;

bool isLayoutSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Where "<b>" + heading + "</b>" starts, white space allowed inside the bold
// tags (a page laid out with a line break after every tag); npos when absent.
size_t findBoldHeading(const std::string& page, std::string_view heading) {
    constexpr std::string_view open = "<b>";
    constexpr std::string_view close = "</b>";
    for (size_t at = page.find(heading); at != std::string::npos; at = page.find(heading, at + 1)) {
        size_t start = at;
        while (start > 0 && isLayoutSpace(page[start - 1])) --start;
        size_t end = at + heading.size();
        while (end < page.size() && isLayoutSpace(page[end])) ++end;
        if (start >= open.size() && page.compare(start - open.size(), open.size(), open) == 0 &&
            page.compare(end, close.size(), close) == 0) {
            return start - open.size();
        }
    }
    return std::string::npos;
}

}  // namespace

UgScraper::UgScraper(const std::string& searchText, const std::string& scrapeText)
    : FlexiScraper(searchText, scrapeText) {}

int UgScraper::search(const std::string& cityName, std::vector<SuperScraper::City>& cities) {
    syslog(LOG_DEBUG, "UgScraper::search(%s)", cityName.c_str());

    std::string header;
    std::string page;
    // The fetch's own record (its URL) is kept apart from what the page
    // yields, so that it can never be read as a result link.
    StringMap fetched;
    const int status = fetchURL(header, page, searchConfig_, encodeString(cityName), fetched, false);
    if (status != Success) return status;

    std::string location;
    if (http::isRedirect(header, location)) return Success;

    StringMap input;
    StringMap found;
    if (isSearchPage(page)) {
        scoreData(page, searchConfig_, input, found);
        std::vector<std::string> urls;
        std::vector<std::string> names;
        getNumberedKeys(found, "url", urls);
        getNumberedKeys(found, "name", names);
        const size_t pairs = std::min(urls.size(), names.size());
        for (size_t i = 0; i < pairs; ++i) {
            insertCity(urls[i], names[i], cities);
            syslog(LOG_DEBUG, "UgScraper::search inserting name=[%s] url=[%s]", names[i].c_str(), urls[i].c_str());
        }
    } else {
        syslog(LOG_DEBUG, "UgScraper::search, got only one");
        input["in_tokens"] = "keys,name";
        scoreData(page, scrapeConfig_, input, found);
        const std::string keys = getHash(found, "keys", "");
        const std::string name = getHash(found, "name", "");
        if (!keys.empty() && !name.empty()) insertCity(keys, name, cities);
    }
    return status;
}

bool UgScraper::insertCity(const std::string& link, const std::string& name,
                           std::vector<SuperScraper::City>& cities) {
    std::string key;
    if (!urlToKey(link, key)) return false;
    for (const SuperScraper::City& city : cities) {
        if (city.key == key) return false;
    }
    cities.push_back(SuperScraper::City{key, cleanCityName(name)});
    return true;
}

bool UgScraper::urlToKey(const std::string& link, std::string& key) {
    std::vector<std::string> parts;
    if (!regex::matchMany("([a-zA-Z]+)[/]([a-zA-Z]+)[/]([A-Z0-9a-z_]+)", link, parts, kExtended) ||
        parts.size() != 3) {
        return false;
    }
    joinKey(parts, key);
    return true;
}

std::string UgScraper::cleanCityName(const std::string& name) {
    std::vector<std::string> pieces;
    regex::split("[,][ ]", name, pieces, kExtended);
    if (pieces.size() < 2) return name;
    // Later tables win: a province or an Australian state names the country.
    for (std::string (*lookup)(const std::string&) : {&stateNameToStateAbbrev, &provinceToCanada,
                                                       &territoryToAustralia}) {
        const std::string shorter = lookup(pieces[1]);
        if (!shorter.empty()) pieces[1] = shorter;
    }
    std::string joined;
    regex::join(", ", pieces, joined);
    return joined;
}

void UgScraper::trimPage(std::string& page) {
    size_t at = page.find("Probability of Precipitation");
    if (at != std::string::npos) page.erase(at);
    at = findBoldHeading(page, "Personal Weather Stations");
    if (at != std::string::npos) page.erase(at);
    at = page.find("Add a Scrolling Gizmo to your Windows Desktop");
    if (at != std::string::npos) page.erase(0, at);
}

void UgScraper::compactPage(std::string& page) {
    const size_t nul = page.find('\0');
    if (nul != std::string::npos) page.erase(nul);
    std::string compact;
    compact.reserve(page.size());
    bool inRun = false;
    for (const char c : page) {
        const bool blank = c == ' ' || c == '\n';
        if (!blank || !inRun) compact.push_back(c);
        inRun = blank;
    }
    page.swap(compact);
}

void UgScraper::composeWind(StringMap& out) {
    const std::string dir = getHash(out, "wind_dir", "");
    const std::string speed = getHash(out, "wind_speed", "");
    if (dir.empty() || speed.empty() || !regex::match("^[0-9]{1,2}$", speed, kExtended | RegexFlags::NoSubMatch)) {
        out["wind"] = "Calm";
    } else {
        out["wind"] = dir + " " + speed + " MPH";
    }
}

void UgScraper::setDayOrNight(StringMap& out) {
    int riseH = 0, riseM = 0, setH = 0, setM = 0, nowH = 0, nowM = 0;
    if (!weatherTimeUtil::timeStrToInts(getHash(out, "sunset", ""), setH, setM) ||
        !weatherTimeUtil::timeStrToInts(getHash(out, "sunrise", ""), riseH, riseM) ||
        !weatherTimeUtil::timeStrToInts(getHash(out, "curtime", ""), nowH, nowM)) {
        return;  // without the page's clock the code stays a day code
    }
    const bool day = weatherTimeUtil::isTimeBAfterTimeA(riseH, riseM, nowH, nowM) &&
                     !weatherTimeUtil::isTimeBAfterTimeA(setH, setM, nowH, nowM);
    if (!day) out["weatherCode"] = dayIconToNightIcon(out["weatherCode"]);
}

void UgScraper::appendUnit(StringMap& out, const std::string& key, const std::string& unit) { out[key] += unit; }

void UgScraper::celsiusForecastToFahrenheit(StringMap& out) {
    for (int n = kFirstCelsiusPeriod; n <= kLastCelsiusPeriod; ++n) {
        for (const char* list : {"high", "low"}) {
            // An absent value is stored empty; only a value that exists is converted.
            const std::string key = composeNumberedKey(list, n);
            out[key] = UnitConverter::celsiusToFahrenheitStr(getHash(out, key, ""));
        }
    }
}

int UgScraper::scrape(const std::string& key, ScrapeReport& report) {
    StringMap& display = report.getDisplayHashRef();
    setCredit(scrapeConfig_, display);
    std::string header;
    std::string page;
    const int fetchStatus = fetchURL(header, page, scrapeConfig_, key, display, false);
    if (fetchStatus != Success) return fetchStatus;

    StringMap& input = report.getInputHashRef();
    if (getHash(input, "isFavorite", "") == "1") input["in_tokens"] = kFavoriteTokens;
    if (getHash(input, "in_tokens", "").empty()) input["in_tokens"] = kFullTokens;

    trimPage(page);
    compactPage(page);
    StringMap& out = report.getOutputHashRef();
    const int status = scoreData(page, scrapeConfig_, input, out);
    // A page that gave no value at all is not this site's weather page (a
    // captive portal, an error page): nothing is made up from it, neither a
    // calm wind nor the default condition code, so the update fails.
    if (out.empty()) {
        postProcessScrape(report);
        return status;
    }

    composeWind(out);
    out["weatherCode"] = conditionWordToCode(getHash(out, "condition-word", ""));
    // The units are written even without a value (the text is then the unit alone).
    appendUnit(out, "visibility", " mi");
    appendUnit(out, "barometer", "\"");
    setDayOrNight(out);

    const auto temperature = out.find("temperature");
    if (temperature != out.end() && temperature->second.size() > 5) temperature->second = "??";

    parseTextForecast(out);
    out["name"] = cleanCityName(getHash(out, "name", ""));
    if (out["name"].find("Canada") != std::string::npos) celsiusForecastToFahrenheit(out);

    postProcessScrape(report);
    return status;
}

bool UgScraper::isSearchPage(const std::string& page) {
    const std::string_view text(page.c_str());
    const size_t title = text.find("<title>");
    if (title == std::string_view::npos) return false;
    const size_t search = text.find("Search", title + 7);
    return search != std::string_view::npos && text.find("</title>", search + 6) != std::string_view::npos;
}

void UgScraper::calculateTime(StringMap& out) {
    std::vector<std::string> parts;
    const bool read = regex::matchMany(
        "([0-9]{1,2}[:][0-9]{2,2}[ ][APap][mM])[ ]([A-Z]{1,4})[ ][A-Za-z]+[ ]([A-Za-z]+[ ][0-9]{1,2}[,])[ ][0-9]{4,4}",
        getHash(out, "time", ""), parts, kExtended);
    if (!read || parts.size() != 3) {
        out["time"] = "";
        return;
    }
    std::string zone = parts[1];
    // The site writes Australian zones without their leading "A".
    if (getHash(out, "name", "").find("Australia") != std::string::npos) zone = "A" + zone;
    out["time"] = parts[2] + " " + parts[0] + " " + zone;
    FlexiScraper::calculateTime(out);
}
