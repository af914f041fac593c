// The scrape of one National Weather Service location key: the forecast page
// of the key's form, the station's observation report, the local time for the
// sun times, the condition code and the first severe-weather warning.

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "model/CodeTables.h"
#include "scrapers/NwsScraper.h"
#include "scrapers/scanLimits.h"
#include "scrapers/scraperLog.h"
#include "util/GeneralUtils.h"
#include "util/StringMap.h"
#include "util/regex.h"

namespace {

// The data tokens a favorite needs: its line in the menu shows only the
// current conditions.
const char* const kFavoriteTokens = "time,metar,weatherCode,temperature,warninglink";

// Station identifiers are 3 to 5 letters or digits; nothing else may reach
// the report's path.
bool isStationId(const std::string& station) {
    if (station.size() < 3 || station.size() > 5) {
        return false;
    }
    for (char c : station) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int NwsScraper::scrape(const std::string& key, ScrapeReport& report) {
    std::map<std::string, std::string>& display = report.getDisplayHashRef();
    std::map<std::string, std::string>& output = report.getOutputHashRef();
    std::map<std::string, std::string>& input = report.getInputHashRef();
    setCredit(scrapeConfig_, display);

    std::vector<std::string> parts;
    splitKey(key, parts);
    if (parts.empty()) {
        return 4;
    }
    const std::string& form = parts[0];
    std::string prefix;
    const scraperConfig* pageConfig = &scrapeConfig_;
    if (form == "ifps") {
        prefix = "ifps-";
    } else if (form == "total_forecast") {
        prefix = "total_forecast-";
        pageConfig = &totalForecastConfig_;
    } else if (form == "ll") {
        prefix = "ll-";
        pageConfig = &latLonConfig_;
    }
    const std::map<std::string, std::string>& global = scrapeConfig_.getGlobalConfig();

    std::string header;
    std::string page;
    const int fetchStatus = fetchURLWithHostAndUri(header, page, getHash(global, prefix + "host", ""),
                                                   getHash(global, prefix + "uri", ""), key, display, true);
    if (fetchStatus != 0) {
        scraperLog::print(std::string("nws failed to retrieve data for key=[") + key + "]\n");
        return fetchStatus;
    }

    auto favorite = input.find("isFavorite");
    input["in_tokens"] = favorite != input.end() && favorite->second == "1" ? kFavoriteTokens : "";
    const int status = scoreData(page, *pageConfig, input, output);
    // Stopped while reading the page: the values are partial, and the station
    // report could not be fetched anyway.
    if (isStopped()) {
        scraperLog::print(std::string("nws scrape stopped for key=[") + key + "]\n");
        return FetchFailed;
    }

    if (form != "ll") {
        auto metar = output.find("metar");
        if (metar != output.end()) {
            std::string station = metar->second;
            decodeObservations(station, output);
        } else {
            scraperLog::print(std::string("no metar key for key=[") + key + "]\n");
        }
    } else if (parts.size() >= 6) {
        output["latitude"] = parts[4];
        output["longitude"] = parts[5];
        const float latitude = GeneralUtils::strToFloat(parts[4]);
        const float longitude = GeneralUtils::strToFloat(parts[5]);
        int gmtOffset = 0;
        int hour = 0;
        int minute = 0;
        if (getTimezoneAndDate(output, gmtOffset, hour, minute)) {
            calcSunriseSet(longitude, latitude, static_cast<float>(gmtOffset), hour, minute, output);
        }
    }

    auto nighttime = output.find("nighttime");
    const bool night = nighttime != output.end() && nighttime->second == "yes";
    auto condition = output.find("weatherCode");
    if (condition != output.end()) {
        std::string code = matchCondition(scrapeConfig_, condition->second);
        if (night) {
            code = dayIconToNightIcon(code);
        }
        condition->second = code;
    }

    parseTextForecast(output);

    if (auto barometer = output.find("barometer"); barometer != output.end()) {
        barometer->second = cleanBarometer(barometer->second);
    }
    if (auto humidity = output.find("humidity"); humidity != output.end()) {
        humidity->second = cleanHumidity(humidity->second);
    }

    setWarning(output);
    postProcessScrape(report);
    return status;
}

void NwsScraper::setWarning(std::map<std::string, std::string>& output) {
    const int flags = RegexFlags::Extended | RegexFlags::IgnoreCase | RegexFlags::NoSubMatch;
    std::vector<std::string> links;
    getNumberedKeys(output, "warninglink", links);
    for (const std::string& text : links) {
        std::string severity;
        if (regex::match("[+]WARNING", text, flags)) {
            severity = "warning";
        } else if (regex::match("[+]WATCH", text, flags)) {
            severity = "watch";
        }
        std::string type;
        if (regex::match("THUNDERSTORM", text, flags)) {
            type = "tstorms";
        } else if (regex::match("TORNADO", text, flags)) {
            type = "nado";
        } else if (regex::match("FLOOD", text, flags)) {
            type = "flood";
        } else if (regex::match("FREEZE", text, flags)) {
            type = "freeze";
        }
        if (!severity.empty() && !type.empty()) {
            output["warn-type"] = type;
            output["warn-severity"] = severity;
            output["warn-desc"] = text;
            return;
        }
    }
}

bool NwsScraper::decodeObservations(std::string& station, std::map<std::string, std::string>& output) {
    if (!isStationId(station)) {
        scraperLog::print(std::string("bad metar key [") + station + "]\n");
        return false;
    }
    if (station.size() == 3) {
        station = "K" + station;
    }
    const std::string url =
        std::string("http://") + kObservationHost + "/pub/data/observations/metar/decoded/" + station + ".TXT";
    std::string header;
    std::string reply;
    if (!fetchPage(url, true, header, reply)) {
        scraperLog::print(std::string("Failed to access url[") + url + "\n");
        return false;
    }

    return readObservationText(reply, output);
}

bool NwsScraper::splitObservationLine(const std::string& line, std::string& label, std::string& value) {
    // A pattern search reads the line as a C string.
    const size_t end = std::min(line.find('\0'), line.size());
    size_t labelStart = 0;
    for (size_t colon = line.find(':'); colon < end; colon = line.find(':', colon + 1)) {
        if (colon + 1 < end && line[colon + 1] == ' ') {
            label.assign(line, labelStart, colon - labelStart);
            value.assign(line, colon + 2, end - colon - 2);
            return true;
        }
        // No match can take in this colon: the next one starts after it.
        labelStart = colon + 1;
    }
    return false;
}

bool NwsScraper::readObservationText(const std::string& text, std::map<std::string, std::string>& output) {
    // The lines are the pieces between CR and LF bytes (empty ones
    // included, none after a final line break).
    std::map<std::string, std::string> fields;
    std::string firstLine;
    bool firstTooLong = false;
    size_t skipped = 0;
    bool any = false;
    int sinceCheck = 0;
    for (size_t start = 0; start < text.size();) {
        if (++sinceCheck == scanLimits::kStopCheckEvery) {
            sinceCheck = 0;
            if (isStopped()) return false;
        }
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const size_t length = end - start;
        const bool tooLong = length > scanLimits::kMaxSearchedText;
        if (!any) {
            any = true;
            firstTooLong = tooLong;
            if (!tooLong) firstLine.assign(text, start, length);
        }
        if (tooLong) {
            ++skipped;
        } else {
            std::string label;
            std::string value;
            if (splitObservationLine(text.substr(start, length), label, value)) fields[label] = value;
        }
        start = end + 1;
    }
    if (skipped > 0) {
        scraperLog::error("decodeObservations: " + std::to_string(skipped) + " line(s) longer than " +
                          std::to_string(scanLimits::kMaxSearchedText) + " bytes passed over\n");
    }
    if (isStopped()) return false;

    auto visibility = fields.find("Visibility");
    std::string miles;
    if (visibility != fields.end() &&
        // Whole miles, decimals and fractions: "10", "0.5", "1/4", "2 1/2".
        regex::matchOne("((([0-9]{1,2} )?[0-9]{1,2}/[0-9]{1,2}|[0-9]{1,2}([.][0-9]{1,2})?)[ ]+mi)le",
                        visibility->second, miles, RegexFlags::Extended)) {
        output["visibility"] = miles;
    }

    std::vector<std::string> coordinates;
    if (any && !firstTooLong &&
        regex::matchMany("([0-9]{1,3}[-][0-9]{1,3}[-]*[0-9]{0,3}[NS])[ ]*([0-9]{1,3}[-][0-9]{1,3}[-]*[0-9]{0,3}[EW])",
                         firstLine, coordinates, RegexFlags::Extended) &&
        coordinates.size() == 2) {
        const float latitude = convertLongLatToFloat(coordinates[0]);
        const float longitude = convertLongLatToFloat(coordinates[1]);
        int gmtOffset = 0;
        int hour = 0;
        int minute = 0;
        if (getTimezoneAndDate(output, gmtOffset, hour, minute)) {
            calcSunriseSet(longitude, latitude, static_cast<float>(gmtOffset), hour, minute, output);
        }
    }
    return true;
}

bool NwsScraper::getTimezoneAndDate(std::map<std::string, std::string>& output, int& gmtOffset, int& hour,
                                    int& minute) {
    auto time = output.find("time");
    if (time == output.end() || time->second.empty()) {
        return false;
    }
    const std::string& text = time->second;
    std::vector<std::string> groups;
    std::string zone;
    bool twelveHour = false;
    bool afternoon = false;
    if (regex::matchMany("([0-9]{1,2})[:]([0-9]{2,2})[ ]([apAP][mM])[ ]([KHPMCE][SD][T])", text, groups,
                         RegexFlags::Extended)) {
        if (groups.size() != 4) {
            return false;
        }
        twelveHour = true;
        afternoon = groups[2] == "pm" || groups[2] == "PM";
        zone = groups[3];
    } else if (regex::matchMany("([0-9]{1,2})[:]([0-9]{2,2})[ ]([KHPMCE][SD][T])", text, groups,
                                RegexFlags::Extended)) {
        if (groups.size() != 3) {
            return false;
        }
        zone = groups[2];
    } else {
        return false;
    }

    gmtOffset = convertTimezoneToGMTOffset(zone);
    hour = std::atoi(groups[0].c_str());
    minute = std::atoi(groups[1].c_str());
    if (twelveHour) {
        if (!afternoon && hour == 12) {
            hour = 0;
        } else if (afternoon && hour < 12) {
            hour += 12;
        }
    }
    return true;
}

int NwsScraper::convertTimezoneToGMTOffset(const std::string& zone) {
    if (zone.empty()) {
        return -8;
    }
    const std::map<std::string, std::string>& global = scrapeConfig_.getGlobalConfig();
    auto it = global.find(zone.substr(0, 1) + "-tz");
    return it == global.end() ? -8 : std::atoi(it->second.c_str());
}

float NwsScraper::convertLongLatToFloat(const std::string& text) {
    std::vector<std::string> pieces;
    regex::split("[-]", text, pieces, RegexFlags::Extended);
    const int degrees = pieces.empty() ? 0 : std::atoi(pieces[0].c_str());
    const int minutes = pieces.size() < 2 ? 0 : std::atoi(pieces[1].c_str());
    float value = static_cast<float>(degrees + minutes * 0.016666666666666666);
    if (!text.empty() && (text.back() == 'W' || text.back() == 'S')) {
        value = -value;
    }
    return value;
}

std::string NwsScraper::matchCondition(const scraperConfig& config, const std::string& text) {
    const std::map<std::string, std::string>& global = config.getGlobalConfig();
    std::string fallback;
    for (int n = 1; n <= 100; ++n) {
        auto rule = global.find(composeNumberedKey("condmap", n));
        if (rule == global.end()) {
            break;
        }
        std::vector<std::string> pieces;
        regex::split("[|]", rule->second, pieces, RegexFlags::Extended);
        if (pieces.size() < 2) {
            continue;  // not a rule: skip it rather than stall on it
        }
        if (n == 1) {
            fallback = pieces[1];
        }
        if (regex::match(pieces[0], text, RegexFlags::Extended | RegexFlags::IgnoreCase)) {
            return pieces[1];
        }
    }
    return fallback;
}
