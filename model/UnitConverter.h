#pragma once
// Conversions from the United States units the scrapers store (whole degrees
// Fahrenheit, miles per hour, miles, inches of mercury) to the units the user
// chose, both as integers and as rewritten display texts.
//
// Texts are bytes; the degree sign is the single byte 0xA1, which the menu
// decodes as Mac OS Roman. Every conversion to an integer truncates toward
// zero and saturates at the limits of int.

#include <string>

class UnitConverter {
public:
    // The display units, as stored in the "units" preference after
    // convertPrefStringToUnitFormat.
    enum Units {
        None = 0,    // United States units: texts unchanged but for the degree sign
        Metric = 1,
        Both = 2,    // metric and United States units side by side
        Kelvin = 3,  // metric, with temperatures in Kelvin
    };

    static constexpr char degreeSign = '\xA1';

    static int fahrenheitToCelsiusInt(int fahrenheit);
    static int celsiusToFahrenheitInt(int celsius);
    static int fahrenheitToKelvinInt(int fahrenheit);
    static int milesToKm(int miles);
    static int inchesToMillibars(float inches);

    // "0" metric, "2" both, "3" Kelvin; anything else (also "1") none.
    static Units convertPrefStringToUnitFormat(const std::string& pref);

    // The Fahrenheit text of a Celsius text; "" for "".
    static std::string celsiusToFahrenheitStr(const std::string& celsius);

    // Rewriters: change the text in place for the units. A text that does
    // not read is left as it was.
    static void convFahrenheit(std::string& text, Units units);
    static void convWind(std::string& text, Units units);
    static void convVisibility(std::string& text, Units units);
    static void convBarometer(std::string& text, Units units);

    // The longest direction word convWind reads; a longer first word leaves
    // the wind text unchanged.
    static constexpr size_t maxWindWord = 31;
};
