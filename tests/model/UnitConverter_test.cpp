#include "model/UnitConverter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

const std::string deg = "\xA1";

std::string fahrenheit(std::string text, UnitConverter::Units units) {
    UnitConverter::convFahrenheit(text, units);
    return text;
}
std::string wind(std::string text, UnitConverter::Units units) {
    UnitConverter::convWind(text, units);
    return text;
}
std::string visibility(std::string text, UnitConverter::Units units) {
    UnitConverter::convVisibility(text, units);
    return text;
}
std::string barometer(std::string text, UnitConverter::Units units) {
    UnitConverter::convBarometer(text, units);
    return text;
}

}  // namespace

TEST(UnitConverter, IntegerConversionsTruncateAndSaturate) {
    EXPECT_EQ(UnitConverter::fahrenheitToCelsiusInt(0), -17);
    EXPECT_EQ(UnitConverter::fahrenheitToCelsiusInt(-40), -40);
    EXPECT_EQ(UnitConverter::fahrenheitToCelsiusInt(212), 100);
    EXPECT_EQ(UnitConverter::celsiusToFahrenheitInt(-17), 1);  // 1.4 truncated
    EXPECT_EQ(UnitConverter::celsiusToFahrenheitInt(100), 212);
    EXPECT_EQ(UnitConverter::fahrenheitToKelvinInt(72), 295);
    EXPECT_EQ(UnitConverter::milesToKm(10), 16);
    EXPECT_EQ(UnitConverter::milesToKm(-10), -16);
    EXPECT_EQ(UnitConverter::inchesToMillibars(30.05f), 1017);
    // Values no weather page means must not overflow.
    EXPECT_EQ(UnitConverter::celsiusToFahrenheitInt(INT_MAX), INT_MAX);
    EXPECT_EQ(UnitConverter::celsiusToFahrenheitInt(INT_MIN), INT_MIN);
    EXPECT_EQ(UnitConverter::milesToKm(INT_MAX), INT_MAX);
    EXPECT_EQ(UnitConverter::inchesToMillibars(1e30f), INT_MAX);
    EXPECT_EQ(UnitConverter::inchesToMillibars(-1e30f), INT_MIN);
    EXPECT_EQ(UnitConverter::inchesToMillibars(std::nanf("")), 0);
    EXPECT_GT(UnitConverter::fahrenheitToKelvinInt(INT_MAX), 0);
}

TEST(UnitConverter, PreferenceTextAndCelsiusText) {
    EXPECT_EQ(UnitConverter::convertPrefStringToUnitFormat("0"), UnitConverter::Metric);
    EXPECT_EQ(UnitConverter::convertPrefStringToUnitFormat("1"), UnitConverter::None);
    EXPECT_EQ(UnitConverter::convertPrefStringToUnitFormat("2"), UnitConverter::Both);
    EXPECT_EQ(UnitConverter::convertPrefStringToUnitFormat("3"), UnitConverter::Kelvin);
    EXPECT_EQ(UnitConverter::convertPrefStringToUnitFormat(""), UnitConverter::None);
    EXPECT_EQ(UnitConverter::convertPrefStringToUnitFormat("02"), UnitConverter::None);
    EXPECT_EQ(UnitConverter::celsiusToFahrenheitStr(""), "");
    EXPECT_EQ(UnitConverter::celsiusToFahrenheitStr("20"), "68");
    EXPECT_EQ(UnitConverter::celsiusToFahrenheitStr("-5C"), "23");
}

TEST(UnitConverter, Temperatures) {
    EXPECT_EQ(fahrenheit("72", UnitConverter::None), "72" + deg);
    EXPECT_EQ(fahrenheit("72", UnitConverter::Metric), "22" + deg);
    EXPECT_EQ(fahrenheit("72", UnitConverter::Both), "22" + deg + "C/72" + deg + "F");
    EXPECT_EQ(fahrenheit("72", UnitConverter::Kelvin), "295" + deg);
    EXPECT_EQ(fahrenheit("n/a", UnitConverter::Metric), "n/a");
    EXPECT_EQ(fahrenheit("n/a", UnitConverter::None), "n/a" + deg);
    EXPECT_EQ(fahrenheit("", UnitConverter::None), "");
    EXPECT_EQ(fahrenheit("", UnitConverter::Metric), "");
    EXPECT_EQ(fahrenheit(" -4F", UnitConverter::Metric), "-20" + deg);
    // The side-by-side form is cut to 19 bytes, whatever the source text.
    std::string both = fahrenheit("72 and rising slowly all afternoon", UnitConverter::Both);
    EXPECT_EQ(both.size(), 19u);
    EXPECT_EQ(both.substr(0, 7), "22" + deg + "C/72");
    // A number too long for int saturates instead of overflowing.
    EXPECT_EQ(fahrenheit("99999999999999999999", UnitConverter::Metric),
              std::to_string(UnitConverter::fahrenheitToCelsiusInt(INT_MAX)) + deg);
}

TEST(UnitConverter, Wind) {
    EXPECT_EQ(wind("W 10 mph", UnitConverter::Metric), "W 4.4 m/s");
    EXPECT_EQ(wind("W 10 mph", UnitConverter::Kelvin), "W 4.4 m/s");
    EXPECT_EQ(wind("W 10 mph", UnitConverter::Both), "W 4.4m/s / 10 MPH");
    EXPECT_EQ(wind("W 10 MPH", UnitConverter::Metric), "W 4.4 m/s");
    EXPECT_EQ(wind("W 10 mph", UnitConverter::None), "W 10 mph");
    EXPECT_EQ(wind("Calm", UnitConverter::Metric), "Calm");
    EXPECT_EQ(wind("", UnitConverter::Metric), "");
    EXPECT_EQ(wind("From the West at 10 MPH", UnitConverter::Metric), "From the West at 10 MPH");
    // Only the word and the first number are read.
    EXPECT_EQ(wind("NW 12 G 20 MPH", UnitConverter::Metric), "NW 5.3 m/s");
    // A first word of 31 bytes still reads (the result is cut to 31 bytes);
    // a longer one leaves the text alone instead of running past the field.
    std::string word31(31, 'x');
    std::string converted = wind(word31 + " 10 mph", UnitConverter::Metric);
    EXPECT_EQ(converted, word31);
    std::string longWord(5000, 'N');
    EXPECT_EQ(wind(longWord + " 10 mph", UnitConverter::Metric), longWord + " 10 mph");
    EXPECT_EQ(wind(std::string(32, 'N') + "10 mph", UnitConverter::Both), std::string(32, 'N') + "10 mph");
}

TEST(UnitConverter, VisibilityAndBarometer) {
    EXPECT_EQ(visibility("10 mi", UnitConverter::Both), "16 km / 10 mi");
    EXPECT_EQ(visibility("10 mi", UnitConverter::Metric), "16 km");
    EXPECT_EQ(visibility("10 mi", UnitConverter::None), "10 mi");
    EXPECT_EQ(visibility("N/A", UnitConverter::Metric), "N/A");
    EXPECT_EQ(visibility("0.5 mi", UnitConverter::Both), "0.8 km / 0.5 mi");
    EXPECT_EQ(visibility("1/4 mi", UnitConverter::Metric), "0.4 km");
    EXPECT_EQ(visibility("1 1/2 mi", UnitConverter::Kelvin), "2.4 km");
    EXPECT_EQ(visibility("1/0 mi", UnitConverter::Metric), "1 km");

    EXPECT_EQ(barometer("30.05\" Rising", UnitConverter::Metric), "1017 mb Rising");
    EXPECT_EQ(barometer("30.05\" Rising", UnitConverter::Both), "1017 mb / 30.05 in");
    EXPECT_EQ(barometer("30.05\"", UnitConverter::Both), "1017 mb / 30.05 in");
    EXPECT_EQ(barometer("30.05\"", UnitConverter::Metric), "1017 mb ");
    EXPECT_EQ(barometer("30.05\" Rising", UnitConverter::None), "30.05\" Rising");
    EXPECT_EQ(barometer("steady", UnitConverter::Metric), "steady");
    // The trailing text is read up to 31 bytes.
    std::string tail(40, 'r');
    EXPECT_EQ(barometer("30.05\" " + tail, UnitConverter::Metric), "1017 mb " + tail.substr(0, 31));
}
