#pragma once
// A property list holding every kind of value, with the awkward cases:
// empty containers, control bytes, bytes that are not UTF-8, negative and
// large integers.

#include "util/plist/Value.h"

inline plist::Value everyKind() {
    plist::Dict inner{{"neg", -42}, {"big", int64_t{9000000000000000000}}, {"pi", 3.25}, {"yes", true}};
    plist::Array list{"one", 2, 2.5, false, plist::Value(plist::Date{1200000000})};
    return plist::Dict{
        {"string", "Düsseldorf & <Köln>"},
        {"empty", ""},
        {"controls", std::string("nws\x01" "KDCA\x01" "x", 10)},
        {"latin1", std::string("72\xa1")},
        {"int", 15},
        {"zero", 0},
        {"real", 2.0},
        {"fraction", 0.1},
        {"bool", false},
        {"date", plist::Value(plist::Date{-1000000000})},
        {"data", plist::Value(plist::Data{0, 1, 2, 255})},
        {"emptyData", plist::Value(plist::Data{})},
        {"array", list},
        {"emptyArray", plist::Array{}},
        {"dict", inner},
        {"emptyDict", plist::Dict{}},
    };
}

// Whether two values hold the same kinds all the way down (equality alone
// compares numbers by value).
inline bool sameKinds(const plist::Value& a, const plist::Value& b) {
    if (a.type() != b.type()) return false;
    if (a.isDict()) {
        if (a.asDict().size() != b.asDict().size()) return false;
        for (const auto& [key, value] : a.asDict()) {
            if (!sameKinds(value, b.get(key))) return false;
        }
    }
    if (a.isArray()) {
        if (a.asArray().size() != b.asArray().size()) return false;
        for (size_t i = 0; i < a.asArray().size(); ++i) {
            if (!sameKinds(a.asArray()[i], b.asArray()[i])) return false;
        }
    }
    return true;
}
