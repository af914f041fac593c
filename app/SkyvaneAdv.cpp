#include "app/SkyvaneAdv.h"

#include <algorithm>
#include <iostream>

#include "app/ComTeskPlim.h"
#include "model/PreferenceKeys.h"

SkyvaneAdv::SkyvaneAdv(ComTeskPlim* core) : Skyvane(core) {}

int SkyvaneAdv::initialFrequencySeconds() const {
    const plist::Dict prefs = plimRef_->prefs();
    auto it = prefs.find(kUpdateFrequency);
    const int64_t minutes = it == prefs.end() ? 0 : it->second.asInt(0);
    // A run sets the real frequency; this only has to be a sane start.
    return static_cast<int>(std::clamp<int64_t>(minutes, 0, 1000000) * 60);
}

void SkyvaneAdv::additionalSetup() {
    // The detail rows themselves come from the menu controller, which lays
    // them out by the preferences; advanced mode adds no mode item.
    advanceKeys_.clear();
    for (int day = 1; day <= 5; ++day) advanceKeys_.push_back(std::string(kFiveDayForecast) + std::to_string(day));
    for (const char* key : {kRadar, kFeelsLike, kHumidity, kWind, kBarometer, kVisibility, kSunriseSunset, kDewpoint})
        advanceKeys_.push_back(key);
}

void SkyvaneAdv::refreshData() {
    try {
        Skyvane::refreshData();
    } catch (const std::exception& e) {
        std::cerr << "Exception occured in SkyvaneAdv:refreshData.  Exception=" << e.what() << "." << std::endl;
    }
}

void SkyvaneAdv::setPreference(const std::string& key, const plist::Value& value) {
    plimRef_->setPref(key, value);
    setControllerPreferences();
}

void SkyvaneAdv::setPreferences(const plist::Dict& prefs) {
    const bool locations = prefChangedForKey(prefs, kLocations);
    const bool refresh =
        locations || prefChangedForKey(prefs, kUnits) || prefChangedForKey(prefs, kSourcePreference);
    const bool frequency = prefChangedForKey(prefs, kUpdateFrequency);
    if (locations) {
        auto it = prefs.find(kLocations);
        replaceLocations(it == prefs.end() ? plist::Value() : it->second);
    }
    plimRef_->replacePrefs(prefs);
    if (frequency)
        initTimer();  // a running timer is kept; its next run takes the new frequency
    else if (refresh)
        refreshData();
    plimRef_->prefsModified();
    setControllerPreferences();
}
