#include "model/LocationManagerMac.h"

#include <iostream>

#include "model/PreferenceKeys.h"

namespace {

const char* typeName(const plist::Value& value) {
    switch (value.type()) {
        case plist::Value::Type::None: return "nothing";
        case plist::Value::Type::Dict: return "a dictionary";
        case plist::Value::Type::Array: return "an array";
        case plist::Value::Type::String: return "a string";
        case plist::Value::Type::Integer: return "an integer";
        case plist::Value::Type::Real: return "a real";
        case plist::Value::Type::Boolean: return "a boolean";
        case plist::Value::Type::Date: return "a date";
        case plist::Value::Type::Data: return "data";
    }
    return "unknown";
}

void logSkipped(const std::string& what, const plist::Value& value, const char* expected) {
    std::cerr << "Locations: skipping " << what << ": " << typeName(value) << ", not " << expected << std::endl;
}

// A status is a number, or a text of decimal digits read as its number.
bool statusNumber(const plist::Value& value, int64_t& status) {
    if (value.isNumber()) {
        status = value.asInt(-1);
        return true;
    }
    if (!value.isString()) return false;
    const std::string& text = value.asString();
    // More digits than any int holds cannot be a status; they read as out of range.
    if (text.empty() || text.size() > 18) return false;
    int64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    status = number;
    return true;
}

}  // namespace

plist::Value LocationManagerMac::arrayFromLocationList(const std::vector<Location>& list) {
    plist::Array array;
    array.reserve(list.size());
    for (const Location& location : list) {
        array.push_back(dictionaryFromLocation(location));
    }
    return array;
}

plist::Value LocationManagerMac::dictionaryFromLocation(const Location& location) {
    plist::Dict dict;
    dict[kCity] = location.name;
    dict[kLocationStatus] = location.status;
    for (const auto& [source, key] : location.serviceKeys) {
        // A source may not take the place of the name or the status.
        if (source == kCity || source == kLocationStatus) continue;
        dict[source] = key;
    }
    return dict;
}

void LocationManagerMac::dictionaryToLocation(const plist::Value& dict, Location& location) {
    location.name = "unset";
    location.status = Location::kPlain;
    if (!dict.isDict()) {
        logSkipped("a location", dict, "a dictionary");
        return;
    }
    for (const auto& [key, value] : dict.asDict()) {
        if (key == kCity) {
            if (value.isString()) {
                location.name = value.asString();
            } else {
                logSkipped("the name of a location", value, "a string");
            }
        } else if (key == kLocationStatus) {
            int64_t status = -1;
            const bool readable = statusNumber(value, status);
            if (readable && status >= Location::kPlain && status <= Location::kPrimaryFavorite) {
                location.status = static_cast<int>(status);
            } else if (readable) {
                std::cerr << "Locations: skipping the status " << status << " of a location: not 0 to 3" << std::endl;
            } else {
                logSkipped("the status of a location", value, "a number or a text of digits");
            }
        } else if (key == kCityID) {
            // The older single key was the AOL key; a stored "aol" key is newer.
            if (dict.has(kAolKey)) continue;
            if (value.isString()) {
                location.serviceKeys[kAolKey] = value.asString();
            } else {
                logSkipped("the key \"" + key + "\" of a location", value, "a string");
            }
        } else if (value.isString()) {
            location.serviceKeys[key] = value.asString();
        } else {
            logSkipped("the key \"" + key + "\" of a location", value, "a string");
        }
    }
}

void LocationManagerMac::arrayToLocationList(const plist::Value& array, std::vector<Location>& list) {
    if (array.isNone()) return;
    if (!array.isArray()) {
        logSkipped("the location list", array, "an array");
        return;
    }
    const plist::Array& items = array.asArray();
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i].isDict()) {
            logSkipped("location " + std::to_string(i), items[i], "a dictionary");
            continue;
        }
        Location location;
        dictionaryToLocation(items[i], location);
        list.push_back(std::move(location));
    }
}
