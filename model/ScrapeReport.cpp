#include "model/ScrapeReport.h"

#include <climits>
#include <iostream>
#include <vector>

#include "util/Clock.h"
#include "util/regex.h"

namespace {

const std::string& valueOf(const StringMap& map, const std::string& key) {
    static const std::string empty;
    auto it = map.find(key);
    return it == map.end() ? empty : it->second;
}

// What the report accepts as a temperature: degrees Fahrenheit within the
// coldest and hottest readings ever taken on Earth, so that a real -40 in
// Fairbanks is shown and a page's stray number past them is not.
constexpr int kLowestTemp = -130, kHighestTemp = 135;
// Every code of the weather-code map, tornado (0) and the night showers
// (46, 47) included.
constexpr int kLowestCode = 0, kHighestCode = 47;

}  // namespace

void ScrapeReport::copy(const ScrapeReport& other) {
    inputHash_ = other.inputHash_;
    outputHash_ = other.outputHash_;
    displayHash_ = other.displayHash_;
    score_ = 0;
}

void ScrapeReport::clearForRescrape() {
    outputHash_.clear();
    displayHash_.clear();
    status_ = ScrapeStatus::Success;
}

bool ScrapeReport::validateInt(const std::string& text, int& value, int low, int high) {
    if (text.empty()) return false;
    bool ok = false;
    long wide = stringToLong(text, ok);
    if (!ok) return false;
    // Narrow only a value inside int, so a huge number cannot wrap into the
    // bounds.
    value = static_cast<int>(wide < INT_MIN ? INT_MIN : wide > INT_MAX ? INT_MAX : wide);
    return wide >= low && wide <= high;
}

void ScrapeReport::validateTemp(const std::string& key, int points) {
    const std::string& text = valueOf(outputHash_, key);
    int value = 0;
    if (validateInt(text, value, kLowestTemp, kHighestTemp)) {
        displayHash_[key] = text;
        score_ += points;
    } else {
        displayHash_[key] = "n/a";
    }
}

void ScrapeReport::validateIconCode(const std::string& key, int points) {
    const std::string& text = valueOf(outputHash_, key);
    if (text.empty()) return;
    int value = 0;
    if (validateInt(text, value, kLowestCode, kHighestCode)) {
        displayHash_[key] = text;
        score_ += points;
    } else {
        displayHash_[key] = "32";
        std::cout << "Skyvane: Failure; Setting [" << key << "] to [32] iconStr was [" << text << "], lost ["
                  << points << "] pts\n";
    }
}

std::string ScrapeReport::timeToMinutes(const std::string& text) {
    std::vector<std::string> groups;
    if (!regex::matchManyGlobal("([0-9]{1,2})[:]([0-9]{2,2})[ ](AM|PM|am|pm)", text, groups,
                                RegexFlags::Extended) ||
        groups.size() < 2) {
        return "0";
    }
    int hour = std::stoi(groups[0]);
    int minutes = std::stoi(groups[1]);
    // A time that no clock shows is unreadable; an hour from 13 on is taken
    // as a 24-hour time whatever its marker, so the result stays within a day.
    if (hour > 23 || minutes > 59) return "0";
    bool pm = groups.size() > 2 && (groups[2] == "PM" || groups[2] == "pm");
    if (hour == 12) hour = 0;
    if (pm && hour < 12) hour += 12;
    return std::to_string(hour * 60 + minutes);
}

void ScrapeReport::postProcessWind() {
    const std::string wind = valueOf(outputHash_, "wind");
    if (wind.empty()) return;
    std::string direction, speed, gust;

    std::string word;
    if (regex::matchOne("(South|North|West|East|Vrbl|Calm|CALM)", wind, word, RegexFlags::Extended)) {
        if (word == "Calm" || word == "CALM") {
            direction = "C";
            speed = "0";
        } else {
            direction = word == "Vrbl" ? "V" : word.substr(0, 1);
        }
    } else {
        regex::matchOne("([SNWE]{1,2})[ ]", wind, direction, RegexFlags::Extended);
    }

    std::vector<std::string> numbers;
    regex::matchManyGlobal("([0-9]{1,2})[ ]", wind, numbers, RegexFlags::Extended);
    if (!numbers.empty()) speed = numbers[0];
    if (numbers.size() > 1) gust = numbers[1];

    // A value the scraper extracted itself wins over the parsed one.
    auto offer = [this](const std::string& key, const std::string& value) {
        if (!value.empty() && valueOf(displayHash_, key).empty()) displayHash_[key] = value;
    };
    offer("wind_dir", direction);
    offer("wind_speed", speed);
    offer("wind_gust", gust);
}

void ScrapeReport::postProcessSunriseSet() {
    displayHash_["sunrise_mins"] = timeToMinutes(valueOf(displayHash_, "sunrise"));
    displayHash_["sunset_mins"] = timeToMinutes(valueOf(displayHash_, "sunset"));
}

void ScrapeReport::postProcess() {
    for (const auto& [key, value] : outputHash_) displayHash_[key] = value;
    displayHash_["report_time"] = std::to_string(static_cast<long long>(Clock::now()));
    postProcessWind();
    postProcessSunriseSet();

    score_ = 0;
    if (valueOf(inputHash_, "isFavorite") == "1") {
        validateTemp("temperature", 50);
        validateIconCode("weatherCode", 50);
    } else {
        validateTemp("temperature", 30);
        validateIconCode("weatherCode", 20);
        validateIconCode("code-1", 20);
        validateIconCode("code-2", 15);
        validateIconCode("code-3", 10);
        validateIconCode("code-4", 5);
    }
}

bool ScrapeReport::carriesWeather() const {
    int value = 0;
    return validateInt(valueOf(outputHash_, "temperature"), value, kLowestTemp, kHighestTemp) ||
           validateInt(valueOf(outputHash_, "weatherCode"), value, kLowestCode, kHighestCode);
}

StringMap ScrapeReport::getDisplayableHash(UnitConverter::Units units) const {
    StringMap out = displayHash_;
    auto convert = [&out, units](const std::string& key, void (*conv)(std::string&, UnitConverter::Units)) {
        auto it = out.find(key);
        if (it != out.end()) conv(it->second, units);
    };
    convert("temperature", UnitConverter::convFahrenheit);
    convert("feels_like", UnitConverter::convFahrenheit);
    convert("dewpoint", UnitConverter::convFahrenheit);
    for (int day = 1; day <= 5; ++day) {
        convert("low-" + std::to_string(day), UnitConverter::convFahrenheit);
        convert("high-" + std::to_string(day), UnitConverter::convFahrenheit);
    }
    convert("wind", UnitConverter::convWind);
    convert("visibility", UnitConverter::convVisibility);
    convert("barometer", UnitConverter::convBarometer);
    return out;
}

std::ostream& operator<<(std::ostream& os, const ScrapeReport& report) {
    os << "status_ = " << static_cast<int>(report.status_) << std::endl;
    os << "inputHash_ = " << report.inputHash_ << std::endl;
    os << "outputHash_ = " << report.outputHash_ << std::endl;
    os << "displayHash_ = " << report.displayHash_ << std::endl;
    os << "score_ = " << report.score_ << std::endl;
    return os;
}
