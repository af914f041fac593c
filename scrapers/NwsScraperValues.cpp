// Clean-up of the values read off a National Weather Service page into the
// forms the menu shows: humidity as "69%", the barometer in inches with its
// inch mark ('30.12"').

#include <cstdio>
#include <cstdlib>

#include "scrapers/NwsScraper.h"
#include "util/CLocaleScope.h"
#include "util/regex.h"

namespace {

// Millibars (hectopascals) in inches of mercury.
constexpr double kInchesPerMillibar = 0.02953;
// Above this a pressure reading is in millibars; inches stay near 30.
constexpr double kHighestInches = 100.0;

}  // namespace

std::string NwsScraper::cleanHumidity(const std::string& text) {
    // The page's value is cut down to its digits; an empty one stays empty.
    return text.empty() || text.back() == '%' ? text : text + "%";
}

std::string NwsScraper::cleanBarometer(const std::string& text) {
    std::string number;
    if (!regex::matchOne("^([0-9]+([.][0-9]+)?)$", text, number, RegexFlags::Extended)) {
        return text;
    }
    CLocaleScope cLocale;
    const double reading = std::strtod(number.c_str(), nullptr);
    if (reading <= kHighestInches) {
        return number + "\"";
    }
    char inches[32];
    std::snprintf(inches, sizeof inches, "%.2f\"", reading * kInchesPerMillibar);
    return inches;
}
