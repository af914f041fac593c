#include "app/Preferences.h"

#include <algorithm>
#include <iostream>

#include "app/ComTeskUtilControl.h"
#include "model/LocationManager.h"
#include "model/LocationManagerMac.h"
#include "model/PreferenceKeys.h"

namespace {

constexpr double kCurrentPreferenceVersion = 2.0;
constexpr int kShortestUpdateMinutes = 15;

const char* typeName(const plist::Value& v) {
    switch (v.type()) {
        case plist::Value::Type::Dict: return "dictionary";
        case plist::Value::Type::Array: return "array";
        case plist::Value::Type::String: return "string";
        case plist::Value::Type::Boolean: return "boolean";
        case plist::Value::Type::Date: return "date";
        case plist::Value::Type::Data: return "data";
        default: return "number";
    }
}

// Layouts before 2.0 kept one preferred source as a number; it leads the new order.
void upgradeSourceOrder(plist::Dict& prefs) {
    std::vector<int> order = {kWeatherGov, kUg, kUsa, kAol};
    auto old = prefs.find(kSourcePreference);
    if (old != prefs.end() && !old->second.isNone()) {
        const plist::Value::Type t = old->second.type();
        if (t == plist::Value::Type::Integer || t == plist::Value::Type::Real) {
            const int64_t preferred = old->second.asInt();
            if (preferred == kUg || preferred == kUsa || preferred == kAol) {
                order.erase(std::find(order.begin(), order.end(), static_cast<int>(preferred)));
                order.insert(order.begin(), static_cast<int>(preferred));
            }
        } else {
            std::cerr << "Preference \"" << kSourcePreference << "\" held a " << typeName(old->second)
                      << ", not a source number; using the default order." << std::endl;
        }
    }
    plist::Array array;
    for (int source : order) array.push_back(plist::Value(source));
    prefs[kSourcePreference] = plist::Value(array);
    prefs[kPreferenceVersion] = plist::Value(kCurrentPreferenceVersion);
}

}  // namespace

void upgradePrefs(plist::Dict& prefs) {
    if (auto unit = prefs.find(kTempUnits); unit != prefs.end()) {
        if (unit->second.isString() && unit->second.asString() == kCelsius)
            prefs[kUnits] = plist::Value(kCelsiusTag);
        else if (unit->second.isString() && unit->second.asString() == kFahrenheit)
            prefs[kUnits] = plist::Value(kFahrenheitTag);
        prefs.erase(kTempUnits);
    }
    if (!prefs.count(kPreferenceVersion) || prefs.at(kPreferenceVersion).isNone()) upgradeSourceOrder(prefs);
    auto frequency = prefs.find(kUpdateFrequency);
    const double minutes = frequency == prefs.end() ? 0.0 : frequency->second.asReal(0.0);
    if (!(minutes >= kShortestUpdateMinutes)) prefs[kUpdateFrequency] = plist::Value(kShortestUpdateMinutes);
}

bool initializePrefs(ComTeskUtilControl& util, plist::Dict& prefs, std::unique_ptr<LocationManager>& locMan) {
    std::optional<plist::Dict> stored = util.copyPrefs();
    const bool firstRun = !stored;
    prefs = stored ? std::move(*stored) : plist::Dict{};
    util.fillPrefHoles(prefs);
    upgradePrefs(prefs);

    std::vector<Location> list;
    if (auto locations = prefs.find(kLocations); locations != prefs.end())
        LocationManagerMac::arrayToLocationList(locations->second, list);
    locMan = std::make_unique<LocationManager>(list);

    util.writePrefs(prefs);
    return firstRun;
}
