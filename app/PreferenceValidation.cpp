#include "app/PreferenceValidation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "model/Location.h"
#include "model/PreferenceKeys.h"

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::max();
// Generous for every real preference (a city list of a thousand entries
// takes a few hundred kilobytes), small beside the file's own limit.
constexpr size_t kMaxPushedBytes = 64 * 1024;
constexpr size_t kMaxPushedEntries = 1000;
// What all preferences together may hold, counted as their texts and data
// plus a little for every value. Even with every character escaped and every
// line indented, the file written from this stays far below the 64 MiB the
// reader accepts, so values that each fit cannot add up to a file the next
// start would set aside.
constexpr size_t kMaxPreferencesBytes = 4 * 1024 * 1024;
constexpr size_t kBytesPerValue = 16;

enum class Shape { Boolean, Whole, Number, Choice, SourceList, Locations };

struct Rule {
    const char* key;
    Shape shape;
    double low = -kNoLimit;
    double high = kNoLimit;
    const char* choices[2] = {nullptr, nullptr};
};

const Rule kRules[] = {
    {kUnits, Shape::Whole, kUnitsMetric, kUnitsBoth},
    {kDisplayColor, Shape::Whole, kGrey, kBlack},
    {kTempFontSize, Shape::Whole, kSmaller, kLarger},
    {kIconSet, Shape::Whole, kClassicIcon, kSkyIcon},
    {kMaxLocations, Shape::Whole, 1},
    {kIconSaturation, Shape::Number, 0.0, 1.0},
    {kUpdateFrequency, Shape::Number, 15},
    {kDateForVersionCheck, Shape::Number},
    {kPreferenceVersion, Shape::Number},
    {kMode, Shape::Choice, 0, 0, {kFreeMode, kAdvanceMode}},
    {kTempUnits, Shape::Choice, 0, 0, {kCelsius, kFahrenheit}},
    {kSourcePreference, Shape::SourceList, kAutomatic, kUsa},
    {kLocations, Shape::Locations},
    {kFiveDayForecast, Shape::Boolean},
    {kHumidity, Shape::Boolean},
    {kWind, Shape::Boolean},
    {kBarometer, Shape::Boolean},
    {kVisibility, Shape::Boolean},
    {kSunriseSunset, Shape::Boolean},
    {kFeelsLike, Shape::Boolean},
    {kRadar, Shape::Boolean},
    {kDewpoint, Shape::Boolean},
};

const Rule* ruleFor(const std::string& key) {
    for (const Rule& rule : kRules)
        if (key == rule.key) return &rule;
    return nullptr;
}

std::string number(double n) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", n);
    return text;
}

bool hasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// What was given, for the message: numbers and short texts as they are.
std::string describe(const plist::Value& value) {
    switch (value.type()) {
        case plist::Value::Type::None: return "nothing";
        case plist::Value::Type::Integer: return std::to_string(value.asInt());
        case plist::Value::Type::Real: return number(value.asReal());
        case plist::Value::Type::Boolean: return value.asBool() ? "the boolean true" : "the boolean false";
        case plist::Value::Type::String: {
            const std::string& text = value.asString();
            return text.size() <= 40 && !hasControl(text) ? "the string \"" + text + "\""
                                                           : "a string of " + std::to_string(text.size()) + " bytes";
        }
        case plist::Value::Type::Date: return "a date";
        case plist::Value::Type::Data: return "data";
        case plist::Value::Type::Array: return "an array";
        case plist::Value::Type::Dict: return "a dictionary";
    }
    return "an unknown value";
}

std::string range(double low, double high) {
    if (high == kNoLimit) return low == -kNoLimit ? "" : " of at least " + number(low);
    return " from " + number(low) + " to " + number(high);
}

bool isPlainNumber(const plist::Value& value) {
    return value.type() == plist::Value::Type::Integer || value.type() == plist::Value::Type::Real;
}

bool numberFits(const plist::Value& value, bool whole, double low, double high) {
    if (!isPlainNumber(value)) return false;
    const double n = value.asReal();
    return std::isfinite(n) && (!whole || n == std::trunc(n)) && n >= low && n <= high;
}

std::optional<std::string> mismatch(const std::string& what, const std::string& expected, const plist::Value& value) {
    return what + " must be " + expected + ", not " + describe(value);
}

bool held(const plist::Value& value, const plist::Value* current) {
    if (!current || !current->isArray()) return false;
    const plist::Array& items = current->asArray();
    return std::find(items.begin(), items.end(), value) != items.end();
}

// Why a key or a text cannot be stored: the property-list writer ends a
// text at a NUL byte, so "Nul\0City" would come back as "Nul".
std::optional<std::string> textProblem(const std::string& text, const char* kind) {
    if (text.size() > kMaxPushedBytes)
        return std::string(kind) + " of " + std::to_string(text.size()) + " bytes, more than the " +
               std::to_string(kMaxPushedBytes) + " allowed";
    if (text.find('\0') != std::string::npos) return std::string(kind) + " holding a NUL byte, which cannot be stored";
    return std::nullopt;
}

// Why a pushed value is too large to keep, or holds what cannot be stored.
// Values from the bus nest a few dozen levels at most (the bus's own limit).
std::optional<std::string> sizeProblem(const plist::Value& value) {
    switch (value.type()) {
        case plist::Value::Type::String: return textProblem(value.asString(), "a text");
        case plist::Value::Type::Data:
            if (value.asData().size() > kMaxPushedBytes)
                return "data of " + std::to_string(value.asData().size()) + " bytes, more than the " +
                       std::to_string(kMaxPushedBytes) + " allowed";
            break;
        case plist::Value::Type::Array:
            if (value.asArray().size() > kMaxPushedEntries)
                return "a list of " + std::to_string(value.asArray().size()) + " entries, more than the " +
                       std::to_string(kMaxPushedEntries) + " allowed";
            for (const plist::Value& item : value.asArray())
                if (auto problem = sizeProblem(item)) return problem;
            break;
        case plist::Value::Type::Dict:
            if (value.asDict().size() > kMaxPushedEntries)
                return "a dictionary of " + std::to_string(value.asDict().size()) + " entries, more than the " +
                       std::to_string(kMaxPushedEntries) + " allowed";
            for (const auto& [key, item] : value.asDict()) {
                if (auto problem = textProblem(key, "a key")) return problem;
                if (auto problem = sizeProblem(item)) return problem;
            }
            break;
        default: break;
    }
    return std::nullopt;
}

size_t storedBytes(const plist::Value& value) {
    switch (value.type()) {
        case plist::Value::Type::String: return kBytesPerValue + value.asString().size();
        case plist::Value::Type::Data: return kBytesPerValue + value.asData().size();
        case plist::Value::Type::Array: {
            size_t bytes = kBytesPerValue;
            for (const plist::Value& item : value.asArray()) bytes += storedBytes(item);
            return bytes;
        }
        case plist::Value::Type::Dict: {
            size_t bytes = kBytesPerValue;
            for (const auto& [key, item] : value.asDict()) bytes += key.size() + storedBytes(item);
            return bytes;
        }
        default: return kBytesPerValue;
    }
}

size_t storedBytes(const plist::Dict& prefs) {
    size_t bytes = 0;
    for (const auto& [key, item] : prefs) bytes += key.size() + storedBytes(item);
    return bytes;
}

// Why preferences of `total` bytes, now of `before`, cannot be kept. What an
// older file already holds may stay; only growing past the bound is refused.
std::optional<std::string> totalProblem(size_t total, size_t before) {
    if (total <= kMaxPreferencesBytes || total <= before) return std::nullopt;
    return "would make the preferences " + std::to_string(total) + " bytes, more than the " +
           std::to_string(kMaxPreferencesBytes) + " they may hold";
}

// How a key is named in a message: long or odd keys by their length.
std::string keyName(const std::string& key) {
    if (key.size() > 64 || hasControl(key)) return "with a key of " + std::to_string(key.size()) + " bytes";
    return "\"" + key + "\"";
}

std::optional<std::string> locationsProblem(const std::string& what, const plist::Value& value,
                                            const plist::Value* current) {
    if (!value.isArray()) return mismatch(what, "an array of location dictionaries", value);
    const plist::Array& items = value.asArray();
    for (size_t i = 0; i < items.size(); ++i) {
        if (held(items[i], current)) continue;
        if (auto problem = locationProblem(items[i], "location " + std::to_string(i + 1)))
            return what + ": " + *problem;
    }
    return std::nullopt;
}

std::optional<std::string> ruleProblem(const Rule& rule, const plist::Value& value, const plist::Value* current) {
    const std::string what = "preference \"" + std::string(rule.key) + "\"";
    switch (rule.shape) {
        case Shape::Boolean:
            if (value.type() != plist::Value::Type::Boolean) return mismatch(what, "a boolean", value);
            break;
        case Shape::Whole:
            if (!numberFits(value, true, rule.low, rule.high))
                return mismatch(what, "a whole number" + range(rule.low, rule.high), value);
            break;
        case Shape::Number:
            if (!numberFits(value, false, rule.low, rule.high))
                return mismatch(what, "a number" + range(rule.low, rule.high), value);
            break;
        case Shape::Choice:
            if (!value.isString() || (value.asString() != rule.choices[0] && value.asString() != rule.choices[1]))
                return mismatch(what, "\"" + std::string(rule.choices[0]) + "\" or \"" + rule.choices[1] + "\"", value);
            break;
        case Shape::SourceList: {
            const std::string expected = "an array of source numbers" + range(rule.low, rule.high);
            if (!value.isArray()) return mismatch(what, expected, value);
            for (const plist::Value& source : value.asArray())
                if (!numberFits(source, true, rule.low, rule.high)) return mismatch(what, expected, source);
            break;
        }
        case Shape::Locations:
            return locationsProblem(what, value, current);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> locationProblem(const plist::Value& location, const std::string& name) {
    if (!location.isDict()) return mismatch(name, "a dictionary", location);
    if (auto problem = sizeProblem(location)) return name + " cannot be kept: it holds " + *problem;
    const plist::Value& city = location.get(kCity);
    if (!city.isString() || city.asString().empty())
        return name + " must have a non-empty \"" + kCity + "\", not " + describe(city);
    // The name is shown in the menu and in windows as it is.
    if (hasControl(city.asString()))
        return "\"" + std::string(kCity) + "\" of " + name + " must hold no control characters or NUL bytes";
    for (const auto& [key, value] : location.asDict()) {
        if (key == kCity) continue;
        const std::string what = "\"" + key + "\" of " + name;
        if (key == kLocationStatus) {
            if (!numberFits(value, true, Location::kPlain, Location::kPrimaryFavorite))
                return mismatch(what, "a whole number" + range(Location::kPlain, Location::kPrimaryFavorite), value);
        } else if (!value.isString()) {
            return mismatch(what, "a text", value);
        }
    }
    return std::nullopt;
}

namespace {

// Why one value does not fit its key, leaving aside what all preferences
// together may hold.
std::optional<std::string> valueProblem(const std::string& key, const plist::Value& value, const plist::Value* held) {
    // Of the same type too: a number is not the boolean it equals.
    if (held && held->type() == value.type() && *held == value) return std::nullopt;
    // Every key, ours or not, is stored: what is too large for the
    // preference file or cannot be written is refused here.
    if (auto problem = textProblem(key, "a key")) return "the preference has " + *problem;
    if (auto problem = sizeProblem(value)) return "preference " + keyName(key) + " holds " + *problem;
    const Rule* rule = ruleFor(key);
    if (!rule) return std::nullopt;
    return ruleProblem(*rule, value, held);
}

const plist::Value* heldValue(const std::string& key, const plist::Dict& current) {
    auto mine = current.find(key);
    return mine == current.end() ? nullptr : &mine->second;
}

}  // namespace

std::optional<std::string> preferenceProblem(const std::string& key, const plist::Value& value,
                                             const plist::Dict& current) {
    const plist::Value* held = heldValue(key, current);
    if (auto problem = valueProblem(key, value, held)) return problem;
    const size_t before = storedBytes(current);
    const size_t others = before - (held ? key.size() + storedBytes(*held) : 0);
    if (auto problem = totalProblem(others + key.size() + storedBytes(value), before))
        return "preference " + keyName(key) + " " + *problem;
    return std::nullopt;
}

std::optional<std::string> preferencesProblem(const plist::Dict& prefs, const plist::Dict& current) {
    if (!prefs.count(kLocations))
        return std::string("the preferences must hold \"") + kLocations + "\"; without it every city would go";
    for (const auto& [key, value] : prefs)
        if (auto problem = valueProblem(key, value, heldValue(key, current))) return problem;
    // The set replaces every preference held.
    if (auto problem = totalProblem(storedBytes(prefs), storedBytes(current))) return "the preference set " + *problem;
    return std::nullopt;
}

std::optional<std::string> locationListProblem(const plist::Value& locations, const plist::Dict& current) {
    const plist::Value* held = heldValue(kLocations, current);
    const size_t entries = locations.isArray() ? locations.asArray().size() : 0;
    const size_t heldEntries = held && held->isArray() ? held->asArray().size() : 0;
    if (entries > kMaxPushedEntries && entries > heldEntries)
        return "the city list would hold " + std::to_string(entries) + " cities, more than the " +
               std::to_string(kMaxPushedEntries) + " allowed";
    const size_t before = storedBytes(current);
    const size_t others = before - (held ? std::string(kLocations).size() + storedBytes(*held) : 0);
    if (auto problem = totalProblem(others + std::string(kLocations).size() + storedBytes(locations), before))
        return "the city list " + *problem;
    return std::nullopt;
}
