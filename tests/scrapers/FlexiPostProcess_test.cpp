#include <gtest/gtest.h>

#include "model/WeatherUtil.h"
#include "scrapers/FlexiScraper.h"
#include "support/CaptureStream.h"
#include "util/Clock.h"

namespace {

class PostProcess : public ::testing::Test {
protected:
    FlexiScraper scraper{"", ""};
};

}  // namespace

TEST_F(PostProcess, TimeZonesFromObservationTimesAndNames) {
    StringMap out{{"time", "10:51 am PST"}};
    scraper.calculateTime(out);
    EXPECT_EQ(out["zoneString"], "PST");
    EXPECT_EQ(out["gmtOffset"], "-8");

    out = {{"time", "10:51 am"}};
    scraper.calculateTime(out);
    EXPECT_EQ(out["zoneString"], "");
    EXPECT_EQ(out["gmtOffset"], "0");

    // Meridian letters are taken for a zone, which has no offset.
    out = {{"time", "10:51 AM"}};
    scraper.calculateTime(out);
    EXPECT_EQ(out["zoneString"], "AM");
    EXPECT_EQ(out["gmtOffset"], "0");

    // Half-hour zones keep their half hour.
    out = {{"time", "4:00 pm NST"}};
    scraper.calculateTime(out);
    EXPECT_EQ(out["gmtOffset"], "-3.5");

    out = {};
    scraper.calculateTime(out);
    EXPECT_TRUE(out.empty());

    out = {{"name", "Austin, Texas"}};
    scraper.setTzUsingCityName(out);
    EXPECT_EQ(out["gmtOffset"], "-6");  // Texas is on Central time
    out = {{"name", "Toronto, Ontario"}, {"gmtOffset", "7"}};
    scraper.setTzUsingCityName(out);
    EXPECT_EQ(out["gmtOffset"], "7");
}

TEST_F(PostProcess, FeelsLike) {
    StringMap out{{"temperature", "30"}, {"wind", "NW 15 mph"}};
    EXPECT_TRUE(scraper.setFeelsLike(out));
    int chill = 0;
    weatherUtil::calculateWindChill(30, 15, chill);
    EXPECT_EQ(out["feels_like"], std::to_string(chill));

    // Calm air would give a chill above the temperature: capped.
    out = {{"temperature", "30"}, {"wind", "Calm"}};
    EXPECT_TRUE(scraper.setFeelsLike(out));
    EXPECT_EQ(out["feels_like"], "30");

    out = {{"temperature", "70"}, {"wind", "S 10 mph"}};
    EXPECT_FALSE(scraper.setFeelsLike(out));
    EXPECT_EQ(out["feels_like"], "70");

    out = {{"temperature", "95"}, {"humidity", "60"}};
    EXPECT_TRUE(scraper.setFeelsLike(out));
    EXPECT_GT(std::stoi(out["feels_like"]), 95);

    // No humidity, no heat index: never a feels-like below the temperature.
    out = {{"temperature", "95"}};
    EXPECT_FALSE(scraper.setFeelsLike(out));
    EXPECT_EQ(out["feels_like"], "95");
}

TEST_F(PostProcess, NoTemperatureNoFeelsLike) {
    for (const char* temperature : {"", "n/a", "--"}) {
        StringMap out{{"temperature", temperature}, {"wind", "NW 15 mph"}, {"feels_like", "12"}};
        EXPECT_FALSE(scraper.setFeelsLike(out));
        EXPECT_EQ(out.count("feels_like"), 0u) << "[" << temperature << "]";
    }
    StringMap out{{"wind", "NW 15 mph"}};
    EXPECT_FALSE(scraper.setFeelsLike(out));
    EXPECT_EQ(out.count("feels_like"), 0u);
}

TEST_F(PostProcess, FeelsLikeLeavesImpossibleReadingsAlone) {
    // No formula is taken outside the temperatures and humidities a page can
    // really report: its result would not fit an int.
    StringMap out{{"temperature", "2000000000"}, {"humidity", "50"}};
    EXPECT_FALSE(scraper.setFeelsLike(out));
    EXPECT_EQ(out["feels_like"], "2000000000");

    out = {{"temperature", "-2000000000"}, {"wind", "NW 15 mph"}};
    EXPECT_FALSE(scraper.setFeelsLike(out));
    EXPECT_EQ(out["feels_like"], "-2000000000");

    out = {{"temperature", "100"}, {"humidity", "2000000000"}};
    EXPECT_FALSE(scraper.setFeelsLike(out));
    EXPECT_EQ(out["feels_like"], "100");

    // Any reading a thermometer shows gets its formula: -40 with 20 mph feels like -74.
    out = {{"temperature", "-40"}, {"wind", "N 20 mph"}};
    EXPECT_TRUE(scraper.setFeelsLike(out));
    EXPECT_EQ(out["feels_like"], "-74");
    out = {{"temperature", "-201"}, {"wind", "N 20 mph"}};
    EXPECT_FALSE(scraper.setFeelsLike(out));
}

TEST_F(PostProcess, HighsAndLowsFromProse) {
    StringMap out;
    scraper.setHiLoFromDescription(1, "Sunny. Highs in the upper 70s.", out);
    EXPECT_EQ(out["high-1"], "77");
    scraper.setHiLoFromDescription(2, "Lows 5 below zero.", out);
    EXPECT_EQ(out["low-2"], "-2");
    scraper.setHiLoFromDescription(3, "Lows around 60. Winds 5 to 10 mph.", out);
    EXPECT_EQ(out["low-3"], "60");
    scraper.setHiLoFromDescription(4, "Highs in the teens. Lows minus 10.", out);
    EXPECT_EQ(out["high-4"], "13");
    EXPECT_EQ(out["low-4"], "-10");
    scraper.setHiLoFromDescription(5, "Highs near 500. Cloudy.", out);
    EXPECT_EQ(out.count("high-5"), 0u);
    scraper.setHiLoFromDescription(6, "Cloudy with rain.", out);
    EXPECT_EQ(out.count("high-6") + out.count("low-6"), 0u);

    EXPECT_TRUE(FlexiScraper::isValidTemperature(-35));
    EXPECT_TRUE(FlexiScraper::isValidTemperature(125));
    EXPECT_FALSE(FlexiScraper::isValidTemperature(126));
    EXPECT_FALSE(FlexiScraper::isValidTemperature(-36));
}

TEST_F(PostProcess, TextForecastList) {
    StringMap out{{"day-1", "Now"},          {"icon-1", "30"}, {"high-1", "70"},
                  {"day-2", "Today"},        {"icon-2", "32"}, {"high-2", "75"},
                  {"day-3", "Tonight"},      {"icon-3", "32"}, {"low-3", "55"},
                  {"day-4", "Monday"},       {"icon-4", "28"}, {"high-4", "72"},
                  {"day-5", "Monday Night"}, {"icon-5", "27"}, {"low-5", "50"},
                  {"day-6", "Tuesday through Thursday"}, {"icon-6", "12"}, {"high-6", "65"}};
    scraper.parseTextForecast(out);
    EXPECT_EQ(out["day-1"], "Today");
    EXPECT_EQ(out["code-1"], "32");
    EXPECT_EQ(out["high-1"], "75");
    EXPECT_EQ(out["day-2"], "Tonight");
    EXPECT_EQ(out["code-2"], "31");  // sunny becomes clear night
    EXPECT_EQ(out["low-2"], "55");
    EXPECT_EQ(out["day-3"], "Monday");
    EXPECT_EQ(out["high-3"], "72");
    EXPECT_EQ(out["low-3"], "50");
    EXPECT_EQ(out["day-4"], "Tuesday");
    EXPECT_EQ(out["code-4"], "12");
    EXPECT_EQ(out["day-5"], "");
    EXPECT_EQ(out["code-5"], "");

    // A period without icon ends the list.
    out = {{"day-1", "Rest of Today"}, {"icon-1", "30"}, {"high-1", "70"}, {"day-2", "Tonight"}, {"low-2", "40"}};
    scraper.parseTextForecast(out);
    EXPECT_EQ(out["day-1"], "Today");
    EXPECT_EQ(out["day-2"], "");
}

TEST_F(PostProcess, CleanText) {
    std::string text = "  Springfield ,  IL  ";
    scraper.cleanText(text);
    EXPECT_EQ(text, "Springfield, IL");
    text = "a\tb\n\n c";
    scraper.cleanText(text);
    EXPECT_EQ(text, "a\tb c");
    text = "   ";
    scraper.cleanText(text);
    EXPECT_EQ(text, "");
}

TEST_F(PostProcess, SunriseSunsetAndNight) {
    // 2026-01-15 in UTC; New York sunrise 7:19, sunset 16:53 standard time.
    Clock::pin(1768478400);
    StringMap out;
    scraper.calcSunriseSet(-73.97f, 40.78f, -5, 12, 0, out);
    EXPECT_EQ(out["nighttime"], "no");
    EXPECT_EQ(out["sunrise"].substr(0, 3), "7:1");
    EXPECT_NE(out["sunset"].find("PM"), std::string::npos);
    scraper.calcSunriseSet(-73.97f, 40.78f, -5, 21, 0, out);
    EXPECT_EQ(out["nighttime"], "yes");
    scraper.calcSunriseSet(-73.97f, 40.78f, -5, 5, 0, out);
    EXPECT_EQ(out["nighttime"], "yes");
    // Polar night: no sunrise, and it is night all day.
    CaptureStdout log;
    scraper.calcSunriseSet(15.0f, 80.0f, 1, 12, 0, out);
    EXPECT_NE(log.text().find("Sun doesn't rise here this day"), std::string::npos);
    EXPECT_EQ(out["sunrise"], "none");
    EXPECT_EQ(out["sunset"], "none");
    EXPECT_EQ(out["nighttime"], "yes");
    Clock::unpin();
}
