#pragma once
// A property-list value: the plain data that preferences, locations,
// directives and the inter-process calls carry. A default-made value is
// "nothing" (an absent entry); numbers compare by value, so an integer 1, a
// real 1.0 and a boolean true are equal.

#include <concepts>
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace plist {

class Value;
using Dict = std::map<std::string, Value>;
using Array = std::vector<Value>;
using Data = std::vector<uint8_t>;

// A point in time, as seconds since 1970-01-01 00:00:00 UTC.
struct Date {
    double seconds = 0;
    bool operator==(const Date&) const = default;
};

class Value {
public:
    enum class Type { None, Dict, Array, String, Integer, Real, Boolean, Date, Data };

    Value() = default;
    Value(const char* s) : v_(std::string(s ? s : "")) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(bool b) : v_(b) {}
    template <std::integral I>
        requires(!std::same_as<I, bool>)
    Value(I i) : v_(static_cast<int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(Date d) : v_(d) {}
    Value(Data d) : v_(std::move(d)) {}
    Value(Dict d) : v_(std::move(d)) {}
    Value(Array a) : v_(std::move(a)) {}

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNone() const { return type() == Type::None; }
    bool isString() const { return type() == Type::String; }
    bool isDict() const { return type() == Type::Dict; }
    bool isArray() const { return type() == Type::Array; }
    bool isNumber() const;  // integer, real or boolean

    // Typed reads; a value of another type gives the fallback.
    const std::string& asString() const;
    std::string stringOr(const std::string& fallback) const;
    int64_t asInt(int64_t fallback = 0) const;  // reals are truncated (saturating; NaN gives fallback), booleans 0/1
    double asReal(double fallback = 0) const;
    bool asBool(bool fallback = false) const;  // any non-zero number is true
    Date asDate() const;
    const Data& asData() const;
    const Dict& asDict() const;
    const Array& asArray() const;

    // Mutable access; turns a value of another type into an empty one first.
    Dict& dict();
    Array& array();

    // Dictionary entry, or a None value when this is no dictionary or the key is absent.
    const Value& get(const std::string& key) const;
    bool has(const std::string& key) const;
    Value& operator[](const std::string& key) { return dict()[key]; }

    bool operator==(const Value& other) const;

private:
    std::variant<std::monostate, Dict, Array, std::string, int64_t, double, bool, Date, Data> v_;
};

}  // namespace plist
