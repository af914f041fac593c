// The menu controller's item builders: stored reports become menu-line
// records, kept in menu order and sent to the menu. They run only inside a
// rebuild, under the refresh lock.

#include <cmath>
#include <ctime>

#include "menu/PlimMenuController.h"
#include "menu/PlimMenuWrapper.h"
#include "model/PreferenceKeys.h"
#include "model/UnitConverter.h"
#include "scrapers/numberedKeys.h"
#include "util/CLocaleScope.h"
#include "util/Clock.h"

namespace {

constexpr int kForecastDays = 5;
constexpr int kNoonMinute = 720;
constexpr int kNightMinute = 1400;  // a forecast for the night gets a night icon

std::string value(const StringMap& table, const std::string& key) { return getHash(table, key, ""); }

// Minutes go out through the unsigned setter; a negative one would wrap.
unsigned long minutes(int m) { return m < 0 ? 0ul : static_cast<unsigned long>(m); }

}  // namespace

PlimMenuItem* PlimMenuController::findItem(const std::string& key, int& index) {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get(PlimMenuItem::ItemKey) == key) {
            index = static_cast<int>(i);
            return &items_[i];
        }
    }
    index = static_cast<int>(items_.size());
    return nullptr;
}

void PlimMenuController::addItem(PlimMenuItem item) {
    items_.push_back(std::move(item));
    if (wrapper_) wrapper_->addItemAtIndex(static_cast<unsigned>(items_.size() - 1));
}

PlimMenuItem* PlimMenuController::itemByKey(const std::string& key, int& index, bool checkPreference) {
    if (PlimMenuItem* existing = findItem(key, index)) return existing;
    if (checkPreference) {
        const std::string control = key.find("forecast") != std::string::npos ? kFiveDayForecast : key;
        if (!advanced_ || preference(control) != "1") return nullptr;
    }
    PlimMenuItem item;
    item.set(PlimMenuItem::ItemKey, key);
    addItem(std::move(item));
    index = static_cast<int>(items_.size() - 1);
    return &items_.back();  // a deque keeps it in place while more are added
}

void PlimMenuController::buildMenu() {
    if (!wrapper_) return;
    for (size_t i = 0; i < items_.size(); ++i) wrapper_->setMenuItem(static_cast<unsigned>(i), items_[i]);
}

void PlimMenuController::setErrorItem(PlimMenuItem::Error code, const std::string& city) {
    int index = 0;
    PlimMenuItem* item = itemByKey("error", index, false);
    item->set(PlimMenuItem::TypeKey, PlimMenuItem::ErrorLine);
    item->set(PlimMenuItem::ErrorCodeKey, static_cast<unsigned long>(code));
    item->set(PlimMenuItem::CityNameKey, city);
}

int PlimMenuController::getWarningInfo(const StringMap& display, std::string& type, std::string& severity) {
    type = value(display, "warn-type");
    severity = value(display, "warn-severity");
    if (type.empty() || severity.empty()) return 0;
    if (severity == "warning") return 2;
    if (severity == "watch") return 1;
    return 0;
}

void PlimMenuController::getTimeInfo(const ScrapeReport& report, int& minuteOfDay, int& sunrise, int& sunset) {
    const StringMap& display = report.getDisplayHashRef();
    // Half-hour zones ("-3.5") keep their half hour; an offset beyond any zone counts as none.
    float hours = 0;
    {
        CLocaleScope cLocale;  // "-3.5" whatever the user's decimal separator
        hours = getHashFloat(display, "gmtOffset", 0);
    }
    const long offsetSecs = std::isfinite(hours) && std::fabs(hours) <= 24 ? std::lround(hours * 3600.0f) : 0;
    const time_t local = Clock::now() + static_cast<time_t>(offsetSecs);
    struct tm broken {};
    minuteOfDay = gmtime_r(&local, &broken) ? broken.tm_hour * 60 + broken.tm_min : 0;
    sunrise = getHashInt(display, "sunrise_mins", 0);
    sunset = getHashInt(display, "sunset_mins", 0);
}

StringMap PlimMenuController::displayable(const ScrapeReport& report) const {
    return report.getDisplayableHash(UnitConverter::convertPrefStringToUnitFormat(preference(kUnits)));
}

void PlimMenuController::refreshPrimaryIcon(const ScrapeReport& report) {
    int minuteOfDay = 0, sunrise = 0, sunset = 0;
    getTimeInfo(report, minuteOfDay, sunrise, sunset);
    StringMap display = displayable(report);
    std::string type, severity;
    const int level = getWarningInfo(display, type, severity);
    const int code = getHashInt(display, kWeatherCode, PlimMenuItem::NoWeatherCode);
    if (!wrapper_) return;
    wrapper_->setMainText(value(display, kTemperature), preference(kTempFontSize) == smaller_ ? 12 : 14);
    const float saturation = getHashFloat(rebuildPreferences_, kIconSaturation, 0.0f);
    wrapper_->setMainWeatherImage(code, level, minuteOfDay, sunrise, sunset, saturation);
}

void PlimMenuController::refreshPrimary(const ScrapeReport& report) {
    prepareMenu(report);
    StringMap display = displayable(report);
    refreshPrimaryIcon(report);

    int index = 0;
    PlimMenuItem* city = itemByKey("cityName", index, false);
    city->set(PlimMenuItem::TypeKey, PlimMenuItem::PrimaryCity);
    city->set(PlimMenuItem::URLKey, value(display, kUrl));
    city->set(PlimMenuItem::CityNameKey, value(report.getInputHashRef(), "cityName"));
    city->set(PlimMenuItem::WeatherCodeKey, value(display, kWeatherCode));

    PlimMenuItem* updated = itemByKey("updateTime", index, false);
    updated->set(PlimMenuItem::TypeKey, PlimMenuItem::UpdateTime);
    updated->set(PlimMenuItem::TimeKey, value(display, "report_time"));

    std::string type, severity;
    if (getWarningInfo(display, type, severity) != 0) {
        PlimMenuItem* warning = itemByKey("warning", index, false);
        warning->set(PlimMenuItem::TypeKey, PlimMenuItem::Warning);
        warning->set(PlimMenuItem::WarnSeverityKey, severity);
        warning->set(PlimMenuItem::WarnTypeKey, type);
        warning->setFloat(PlimMenuItem::SaturationKey, getHashFloat(rebuildPreferences_, kIconSaturation, 0.0f));
    }

    setForecast(display);
    setRadar(report);
    for (const std::string* key : {&feelsLikeKey_, &humidityKey_, &windKey_, &barometerKey_, &visibilityKey_,
                                   &sunriseSunsetKey_, &dewpointKey_, &dataFromKey_}) {
        setSimpleCondition(display, *key);
    }
}

void PlimMenuController::setSimpleCondition(const StringMap& display, const std::string& key) {
    int index = 0;
    PlimMenuItem* item = itemByKey(key, index, key != dataFromKey_);
    if (!item) return;
    item->set(PlimMenuItem::TypeKey, PlimMenuItem::Condition);
    item->set(PlimMenuItem::ConditionTypeKey, key);
    if (key == sunriseSunsetKey_) {
        item->set(PlimMenuItem::ConditionDataKey, value(display, kSunrise) + "/" + value(display, kSunset));
    } else if (key == dataFromKey_) {
        item->set(PlimMenuItem::ConditionDataKey, value(display, kCredit));
        item->set(PlimMenuItem::URLKey, "http://" + value(display, kCredit));
    } else {
        item->set(PlimMenuItem::ConditionDataKey, value(display, key));
    }
}

void PlimMenuController::setRadar(const ScrapeReport& report) {
    int index = 0;
    PlimMenuItem* item = itemByKey(radarKey_, index, true);
    if (!item) return;
    item->set(PlimMenuItem::TypeKey, PlimMenuItem::Radar);
    item->set(PlimMenuItem::CityNameKey, value(report.getOutputHashRef(), "radarFile"));
}

void PlimMenuController::setForecast(const StringMap& display) {
    for (int n = 1; n <= kForecastDays; ++n) {
        const std::string day = value(display, numberedKeys::composeNumberedKey("day", n));
        const std::string high = value(display, numberedKeys::composeNumberedKey("high", n));
        const std::string low = value(display, numberedKeys::composeNumberedKey("low", n));
        if (day.empty() || (high.empty() && low.empty())) return;

        int index = 0;
        PlimMenuItem* item = itemByKey(numberedKeys::composeNumberedKey("forecast", n), index, true);
        if (!item) return;
        std::string hiLo;
        if (high.empty()) {
            hiLo = "Lo " + low;
        } else if (low.empty()) {
            hiLo = "Hi " + high;
        } else {
            hiLo = high + ".." + low;
        }
        const bool night = day.find("night") != std::string::npos || day.find("Night") != std::string::npos;
        item->set(PlimMenuItem::TypeKey, PlimMenuItem::Forecast);
        item->set(PlimMenuItem::ForecastDayKey, day);
        item->set(PlimMenuItem::ForecastHiLoKey, hiLo);
        item->set(PlimMenuItem::WeatherCodeKey, value(display, numberedKeys::composeNumberedKey("code", n)));
        item->set(PlimMenuItem::CurMinKey, static_cast<unsigned long>(night ? kNightMinute : kNoonMinute));
        item->set(PlimMenuItem::SaturationKey, preference(kIconSaturation));
    }
}

void PlimMenuController::refreshFavorite(int index, const ScrapeReport& report) {
    StringMap display = displayable(report);
    int minuteOfDay = 0, sunrise = 0, sunset = 0;
    getTimeInfo(report, minuteOfDay, sunrise, sunset);
    std::string type, severity;
    const int level = getWarningInfo(display, type, severity);

    int position = 0;
    PlimMenuItem* item = itemByKey(numberedKeys::composeNumberedKey(favReport_, index), position, false);
    item->set(PlimMenuItem::TypeKey, PlimMenuItem::Favorite);
    item->set(PlimMenuItem::WeatherCodeKey, value(display, kWeatherCode));
    item->set(PlimMenuItem::TemperatureKey, value(display, kTemperature));
    item->set(PlimMenuItem::CityNameKey, value(report.getInputHashRef(), "cityName"));
    item->set(PlimMenuItem::CurMinKey, minutes(minuteOfDay));
    item->set(PlimMenuItem::RiseMinKey, minutes(sunrise));
    item->set(PlimMenuItem::SetMinKey, minutes(sunset));
    item->set(PlimMenuItem::URLKey, value(display, kUrl));
    item->set(PlimMenuItem::WarnCodeKey, static_cast<unsigned long>(level));
    item->set(PlimMenuItem::SaturationKey, preference(kIconSaturation));
}
