// Post-processing of a scored weather page: time zone, sun times, the
// temperature it feels like, highs and lows written in prose and the final
// forecast list.

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "model/CodeTables.h"
#include "model/WeatherUtil.h"
#include "scrapers/FlexiScraper.h"
#include "util/CLocaleScope.h"
#include "util/GeneralUtils.h"
#include "util/StringMap.h"
#include "util/regex.h"

using Table = std::map<std::string, std::string>;

namespace {

// An offset text such as "-5" or "9.5" as hours; half hours are kept.
bool readOffset(const std::string& text, double& hours) {
    const char* begin = text.c_str();
    char* end = nullptr;
    hours = strtodInCLocale(begin, &end);
    return end != begin && std::isfinite(hours);
}

// The readings, in degrees Fahrenheit, the feels-like formulas are used for.
constexpr int kColdestReading = -200;
constexpr int kHottestReading = 200;

std::string offsetText(double hours) {
    char buf[32];
    if (hours == std::floor(hours)) {
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(hours));
    } else {
        formatInCLocale(buf, sizeof buf, "%g", hours);
    }
    return buf;
}

}  // namespace

int FlexiScraper::postProcessScrape(ScrapeReport& report) {
    Table& out = report.getOutputHashRef();
    calculateTime(out);
    setFeelsLike(out);
    processRadar(report);
    report.postProcess();
    return report.score();
}

void FlexiScraper::calculateTime(Table& out) {
    const std::string time = getHash(out, "time", "");
    if (time.empty()) return;
    std::string zone;
    regex::matchOne("([A-Z]{2,4})$", time, zone, RegexFlags::Extended);
    double hours = 0;
    if (!readOffset(tzToGMTOffset(zone), hours)) hours = 0;
    out["gmtOffset"] = offsetText(hours);
    out["zoneString"] = zone;
}

void FlexiScraper::setTzUsingCityName(Table& out) {
    std::string region;
    if (!regex::matchOne("[,][ ](.*)", getHash(out, "name", ""), region, RegexFlags::Extended) || region.empty()) {
        return;
    }
    std::string zone = stateToTz(region);
    if (zone.empty()) zone = countryToTz(region);
    if (!zone.empty()) out["gmtOffset"] = tzToGMTOffset(zone);
}

bool FlexiScraper::calcSunriseSet(float longitude, float latitude, float gmtOffset, int hour, int minute,
                                  Table& out) {
    int riseH = 0, riseM = 0, setH = 0, setM = 0;
    calculateSunTimes(longitude, latitude, gmtOffset, riseH, riseM, setH, setM);
    if (riseH == 200 || setH == 200) {
        out["nighttime"] = "no";
    } else if (riseH == 100 || setH == 100) {
        out["nighttime"] = "yes";
    } else {
        const bool day = weatherTimeUtil::isTimeBAfterTimeA(riseH, riseM, hour, minute) &&
                         !weatherTimeUtil::isTimeBAfterTimeA(setH, setM, hour, minute);
        out["nighttime"] = day ? "no" : "yes";
    }
    auto text = [](int h, int m) {
        return (h == 100 || h == 200) ? std::string("none") : weatherTimeUtil::getStringForTime(h, m);
    };
    out["sunrise"] = text(riseH, riseM);
    out["sunset"] = text(setH, setM);
    return true;
}

bool FlexiScraper::setFeelsLike(Table& out) {
    const std::string temperature = getHash(out, "temperature", "");
    // Without a temperature there is nothing it could feel like.
    int t = 0;
    if (!ScrapeReport::validateInt(temperature, t, INT_MIN, INT_MAX)) {
        out.erase("feels_like");
        return false;
    }
    out["feels_like"] = temperature;
    std::string speed;
    regex::matchOne("([0-9]{1,3})", getHash(out, "wind", ""), speed, RegexFlags::Extended);
    const int v = std::atoi(speed.c_str());
    int feels = t;
    bool applied = false;
    // Page text can hold any number; the formulas are for any reading a
    // thermometer shows (a -40 with wind has a wind chill), and beyond that
    // their results would not fit an int.
    if (t < kColdestReading || t > kHottestReading) return false;
    if (t < 50) {
        applied = weatherUtil::calculateWindChill(t, v, feels);
        if (applied && feels > t) feels = t;
    } else if (t > 87) {
        // Without a humidity there is no heat index to speak of.
        const std::string humidity = getHash(out, "humidity", "");
        const int h = std::atoi(humidity.c_str());
        if (!humidity.empty() && h >= 0 && h <= 100) applied = weatherUtil::calculateHeatIndex(t, h, feels);
    }
    if (applied) out["feels_like"] = std::to_string(feels);
    return applied;
}

bool FlexiScraper::isValidTemperature(int t) { return t >= -35 && t < 126; }

bool FlexiScraper::setHiLoFromDescription(int n, const std::string& text, Table& out) {
    std::vector<std::string> sentences;
    regex::split("[.][[:space:]]+", text, sentences, RegexFlags::Extended);
    for (std::string sentence : sentences) {
        sentence = regex::substitute("([0-9]{1,2} (and|to) [0-9]{1,2}|[0-9]{1,2}) mph", sentence, "",
                                     RegexFlags::Extended);
        const int icase = RegexFlags::Extended | RegexFlags::IgnoreCase;
        const bool low = regex::match("(lo|low)[s]{0,1}[^a-z]", sentence, icase);
        const bool high = !low && regex::match("(hi|high|temperature|temp)[s]{0,1}[^a-z]", sentence, icase);
        if (!low && !high) continue;
        const std::string key = composeNumberedKey(low ? "low" : "high", n);

        std::string cleaned;
        GeneralUtils::strReplace(sentence, "minus ", "-", cleaned);
        std::vector<std::string> groups;
        regex::matchManyGlobal("(upper[ ]|lower[ ]|mid[ ]|[: \n\r]{1,2})([-]{0,1}[0-9]{1,3}|teen|zero)[s]{0,1}",
                               cleaned, groups, RegexFlags::Extended);
        int sum = 0;
        int count = 0;
        for (size_t i = 0; i + 1 < groups.size(); i += 2) {
            const std::string& qualifier = groups[i];
            const std::string& numberText = groups[i + 1];
            int adjust = 0;
            if (qualifier.find("upper") != std::string::npos) adjust = 7;
            else if (qualifier.find("lower") != std::string::npos) adjust = 3;
            else if (qualifier.find("mid") != std::string::npos) adjust = 5;
            int number = numberText == "teen" ? 13 : numberText == "zero" ? 0 : std::atoi(numberText.c_str());
            const size_t at = cleaned.find(numberText);
            if (at != std::string::npos && cleaned.substr(at, numberText.size() + 6).find("below") != std::string::npos) {
                number = -number;
            }
            const int value = number + adjust;
            if (isValidTemperature(value)) {
                sum += value;
                ++count;
            }
        }
        if (count > 0 && isValidTemperature(sum / count)) out[key] = std::to_string(sum / count);
    }
    return true;
}

void FlexiScraper::parseTextForecast(Table& out) {
    std::vector<std::string> prose;
    getNumberedKeys(out, "forecast-info", prose);
    for (size_t i = 0; i < prose.size(); ++i) setHiLoFromDescription(static_cast<int>(i) + 1, prose[i], out);

    int k = 0;
    std::string prev;
    for (int n = 1; n <= 9; ++n) {
        std::string day = getHash(out, composeNumberedKey("day", n), "");
        if (day == "Now") {
            ++n;
            day = getHash(out, composeNumberedKey("day", n), "");
        }
        std::string icon = getHash(out, composeNumberedKey("icon", n), "");
        const std::string high = getHash(out, composeNumberedKey("high", n), "");
        const std::string low = getHash(out, composeNumberedKey("low", n), "");
        if (day.empty() || icon.empty() || (high.empty() && low.empty())) break;

        if (day == "Rest of Today") day = "Today";
        if (day == "Rest of Tonight") day = "Tonight";
        if (day == "Tonight") icon = dayIconToNightIcon(icon);

        if (day != prev && day != prev + " Night") {
            ++k;
            if (size_t at = day.find(" and "); at != std::string::npos) day.erase(at);
            if (size_t at = day.find(" through "); at != std::string::npos) day.erase(at);
            out[composeNumberedKey("day", k)] = day;
            out[composeNumberedKey("code", k)] = icon;
            out[composeNumberedKey("high", k)] = high;
            out[composeNumberedKey("low", k)] = low;
        } else {
            out[composeNumberedKey("low", k)] = low;
        }
        prev = day;
    }
    for (const char* key : {"day", "code", "high", "low"}) out[composeNumberedKey(key, k + 1)] = "";
}

void FlexiScraper::cleanText(std::string& text) {
    text = regex::substitute("[\n\r\t ][\n\r\t ]+", text, " ", RegexFlags::Extended);
    text = regex::substitute("[ ]+,", text, ",", RegexFlags::Extended);
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    const size_t last = text.find_last_not_of(' ');
    text = text.substr(first, last - first + 1);
}
