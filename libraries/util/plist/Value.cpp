#include "util/plist/Value.h"

#include <cmath>
#include <limits>

namespace plist {

namespace {
const std::string emptyString;
const Dict emptyDict;
const Array emptyArray;
const Data emptyData;
const Value noneValue;
}  // namespace

bool Value::isNumber() const {
    return type() == Type::Integer || type() == Type::Real || type() == Type::Boolean;
}

const std::string& Value::asString() const {
    const auto* s = std::get_if<std::string>(&v_);
    return s ? *s : emptyString;
}

std::string Value::stringOr(const std::string& fallback) const { return isString() ? asString() : fallback; }

int64_t Value::asInt(int64_t fallback) const {
    if (const auto* i = std::get_if<int64_t>(&v_)) return *i;
    if (const auto* d = std::get_if<double>(&v_)) {
        // Reals beyond the integer range saturate; converting them is undefined.
        if (std::isnan(*d)) return fallback;
        if (*d >= 0x1p63) return std::numeric_limits<int64_t>::max();
        if (*d < -0x1p63) return std::numeric_limits<int64_t>::min();
        return static_cast<int64_t>(*d);
    }
    if (const auto* b = std::get_if<bool>(&v_)) return *b ? 1 : 0;
    return fallback;
}

double Value::asReal(double fallback) const {
    if (const auto* d = std::get_if<double>(&v_)) return *d;
    if (const auto* i = std::get_if<int64_t>(&v_)) return static_cast<double>(*i);
    if (const auto* b = std::get_if<bool>(&v_)) return *b ? 1.0 : 0.0;
    return fallback;
}

bool Value::asBool(bool fallback) const { return isNumber() ? asReal() != 0.0 : fallback; }

Date Value::asDate() const {
    const auto* d = std::get_if<Date>(&v_);
    return d ? *d : Date{};
}

const Data& Value::asData() const {
    const auto* d = std::get_if<Data>(&v_);
    return d ? *d : emptyData;
}

const Dict& Value::asDict() const {
    const auto* d = std::get_if<Dict>(&v_);
    return d ? *d : emptyDict;
}

const Array& Value::asArray() const {
    const auto* a = std::get_if<Array>(&v_);
    return a ? *a : emptyArray;
}

Dict& Value::dict() {
    if (!isDict()) v_ = Dict{};
    return std::get<Dict>(v_);
}

Array& Value::array() {
    if (!isArray()) v_ = Array{};
    return std::get<Array>(v_);
}

const Value& Value::get(const std::string& key) const {
    const auto* d = std::get_if<Dict>(&v_);
    if (!d) return noneValue;
    auto it = d->find(key);
    return it == d->end() ? noneValue : it->second;
}

bool Value::has(const std::string& key) const { return !get(key).isNone(); }

bool Value::operator==(const Value& other) const {
    if (isNumber() && other.isNumber()) {
        if (type() == Type::Integer && other.type() == Type::Integer) return asInt() == other.asInt();
        return asReal() == other.asReal();
    }
    return v_ == other.v_;
}

}  // namespace plist
