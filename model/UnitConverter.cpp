#include "model/UnitConverter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "util/CLocaleScope.h"
#include "util/GeneralUtils.h"
#include "util/regex.h"

namespace {

// Truncates toward zero, saturating at the limits of int (NaN gives 0), so
// no page text can make the conversion overflow.
int truncToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

// The integer conversions work in double precision on the value first
// converted to single precision.
double widen(int value) { return static_cast<double>(static_cast<float>(value)); }

// Reads values off the front of a text the way the scan formats "%d", "%f"
// and "%Ns" do (leading white space skipped), but with every field bounded
// and numbers saturated instead of overflowing. Runs in the C locale, so a
// decimal point is always '.'.
class Scanner {
public:
    explicit Scanner(const std::string& text) : pos_(text.c_str()) {}

    bool readInt(int& out) {
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(pos_, &end, 10);
        if (end == pos_) return false;
        pos_ = end;
        if (value > INT_MAX) value = INT_MAX;
        if (value < INT_MIN) value = INT_MIN;
        out = static_cast<int>(value);
        return true;
    }

    bool readFloat(float& out) {
        char* end = nullptr;
        float value = std::strtof(pos_, &end);
        if (end == pos_) return false;
        pos_ = end;
        out = value;
        return true;
    }

    // A run of non-blank bytes of at most maxLength; false when there is
    // none or it is longer.
    bool readWord(std::string& out, size_t maxLength) {
        skipSpace();
        const char* start = pos_;
        while (*pos_ != '\0' && !std::isspace(static_cast<unsigned char>(*pos_))) ++pos_;
        size_t length = static_cast<size_t>(pos_ - start);
        if (length == 0 || length > maxLength) return false;
        out.assign(start, length);
        return true;
    }

    bool literal(char c) {
        if (*pos_ != c) return false;
        ++pos_;
        return true;
    }

    void skipSpace() {
        while (*pos_ != '\0' && std::isspace(static_cast<unsigned char>(*pos_))) ++pos_;
    }

    // Up to maxLength of the bytes that are left (stops at a NUL byte).
    std::string rest(size_t maxLength) {
        std::string out;
        while (*pos_ != '\0' && out.size() < maxLength) out += *pos_++;
        return out;
    }

private:
    const char* pos_;
};

// snprintf into a buffer of Size bytes: the result is cut to Size - 1 bytes.
template <size_t Size, typename... Args>
std::string format(const char* fmt, Args... args) {
    char buffer[Size];
    int n = std::snprintf(buffer, sizeof buffer, fmt, args...);
    if (n < 0) return std::string();
    return std::string(buffer, std::min(static_cast<size_t>(n), Size - 1));
}

// The miles a visibility text starts with when they are not whole: a decimal
// ("0.5"), a fraction ("1/4") or a whole number and a fraction ("1 1/2").
// Gives them as written, and their value in `miles`; nothing for any other
// text.
std::optional<std::string> partialMiles(const std::string& text, double& miles) {
    std::string written;
    if (regex::matchOne("^([0-9]{1,6}[.][0-9]{1,6})", text, written, RegexFlags::Extended)) {
        miles = std::strtod(written.c_str(), nullptr);
        return written;
    }
    if (!regex::matchOne("^(([0-9]{1,6} )?[0-9]{1,6}/[0-9]{1,6})", text, written, RegexFlags::Extended)) {
        return std::nullopt;
    }
    int whole = 0, numerator = 0, denominator = 0;
    if (std::sscanf(written.c_str(), "%d %d/%d", &whole, &numerator, &denominator) != 3) {
        whole = 0;
        std::sscanf(written.c_str(), "%d/%d", &numerator, &denominator);
    }
    if (denominator == 0) return std::nullopt;
    miles = whole + static_cast<double>(numerator) / denominator;
    return written;
}

}  // namespace

int UnitConverter::fahrenheitToCelsiusInt(int fahrenheit) { return truncToInt((widen(fahrenheit) - 32.0) / 1.8); }

int UnitConverter::celsiusToFahrenheitInt(int celsius) { return truncToInt(32.0 + widen(celsius) * 1.8); }

int UnitConverter::fahrenheitToKelvinInt(int fahrenheit) {
    // The Celsius value of any int is far enough from INT_MAX for the + 273.
    return fahrenheitToCelsiusInt(fahrenheit) + 273;
}

int UnitConverter::milesToKm(int miles) { return truncToInt(1.6093 * widen(miles)); }

int UnitConverter::inchesToMillibars(float inches) { return truncToInt(static_cast<double>(inches) / 0.02953); }

UnitConverter::Units UnitConverter::convertPrefStringToUnitFormat(const std::string& pref) {
    if (pref == "0") return Metric;
    if (pref == "2") return Both;
    if (pref == "3") return Kelvin;
    return None;
}

std::string UnitConverter::celsiusToFahrenheitStr(const std::string& celsius) {
    if (celsius.empty()) return std::string();
    return std::to_string(celsiusToFahrenheitInt(GeneralUtils::strToInt(celsius)));
}

void UnitConverter::convFahrenheit(std::string& text, Units units) {
    if (units == None) {
        if (!text.empty()) text += degreeSign;
        return;
    }
    CLocaleScope cLocale;
    int fahrenheit = 0;
    if (!Scanner(text).readInt(fahrenheit)) return;
    switch (units) {
    case Metric:
        text = format<20>("%d\xA1", fahrenheitToCelsiusInt(fahrenheit));
        break;
    case Both:
        text = format<20>("%d\xA1" "C/%s\xA1" "F", fahrenheitToCelsiusInt(fahrenheit), text.c_str());
        break;
    case Kelvin:
        text = format<20>("%d\xA1", fahrenheitToKelvinInt(fahrenheit));
        break;
    default:
        break;
    }
}

void UnitConverter::convWind(std::string& text, Units units) {
    if (units != Metric && units != Both && units != Kelvin) return;
    CLocaleScope cLocale;
    // A direction word and whole miles per hour ('W 10 mph'); what follows
    // the number is not looked at.
    Scanner scan(text);
    std::string direction;
    int mph = 0;
    if (!scan.readWord(direction, maxWindWord) || !scan.readInt(mph)) return;
    float metresPerSecond = static_cast<float>(milesToKm(mph)) * 1000.0f / 3600.0f;
    if (units == Both) {
        text = format<32>("%s %.1fm/s / %d MPH", direction.c_str(), static_cast<double>(metresPerSecond), mph);
    } else {
        text = format<32>("%s %.1f m/s", direction.c_str(), static_cast<double>(metresPerSecond));
    }
}

void UnitConverter::convVisibility(std::string& text, Units units) {
    if (units != Metric && units != Both && units != Kelvin) return;
    CLocaleScope cLocale;
    // Pages give short visibilities as decimals and fractions ("0.5 mi",
    // "1/4 mi", "1 1/2 mi"); whole miles keep their form.
    double miles = 0.0;
    if (const std::optional<std::string> part = partialMiles(text, miles)) {
        if (units == Both) {
            text = format<32>("%.1f km / %s mi", 1.6093 * miles, part->c_str());
        } else {
            text = format<32>("%.1f km", 1.6093 * miles);
        }
        return;
    }
    int whole = 0;
    if (!Scanner(text).readInt(whole)) return;
    if (units == Both) {
        text = format<32>("%d km / %d mi", milesToKm(whole), whole);
    } else {
        text = format<32>("%d km", milesToKm(whole));
    }
}

void UnitConverter::convBarometer(std::string& text, Units units) {
    if (units != Metric && units != Both && units != Kelvin) return;
    CLocaleScope cLocale;
    // Inches, the inch mark, and up to 31 bytes of trailing text such as a
    // tendency word ('30.05" Rising').
    Scanner scan(text);
    float inches = 0.0f;
    if (!scan.readFloat(inches)) return;
    std::string trailing;
    if (scan.literal('"')) {
        scan.skipSpace();
        trailing = scan.rest(31);
    }
    int millibars = inchesToMillibars(inches);
    if (units == Both) {
        text = format<64>("%d mb / %.2f in", millibars, static_cast<double>(inches));
    } else {
        text = format<64>("%d mb %s", millibars, trailing.c_str());
    }
}
