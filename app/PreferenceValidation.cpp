#include "app/PreferenceValidation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "model/Location.h"
#include "model/PreferenceKeys.h"

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::max();

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

// What was given, for the message: numbers and short texts as they are.
std::string describe(const plist::Value& value) {
    switch (value.type()) {
        case plist::Value::Type::None: return "nothing";
        case plist::Value::Type::Integer: return std::to_string(value.asInt());
        case plist::Value::Type::Real: return number(value.asReal());
        case plist::Value::Type::Boolean: return value.asBool() ? "the boolean true" : "the boolean false";
        case plist::Value::Type::String: {
            const std::string& text = value.asString();
            return text.size() <= 40 ? "\"" + text + "\"" : "a text of " + std::to_string(text.size()) + " bytes";
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
    const plist::Value& city = location.get(kCity);
    if (!city.isString() || city.asString().empty())
        return name + " must have a non-empty \"" + kCity + "\", not " + describe(city);
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

std::optional<std::string> preferenceProblem(const std::string& key, const plist::Value& value,
                                             const plist::Dict& current) {
    const Rule* rule = ruleFor(key);
    if (!rule) return std::nullopt;
    auto mine = current.find(key);
    const plist::Value* held = mine == current.end() ? nullptr : &mine->second;
    // Of the same type too: a number is not the boolean it equals.
    if (held && held->type() == value.type() && *held == value) return std::nullopt;
    return ruleProblem(*rule, value, held);
}

std::optional<std::string> preferencesProblem(const plist::Dict& prefs, const plist::Dict& current) {
    if (!prefs.count(kLocations))
        return std::string("the preferences must hold \"") + kLocations + "\"; without it every city would go";
    for (const auto& [key, value] : prefs)
        if (auto problem = preferenceProblem(key, value, current)) return problem;
    return std::nullopt;
}
