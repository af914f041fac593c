#include "model/WeatherUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "support/CaptureStream.h"
#include "util/Clock.h"

TEST(WeatherUtil, FeelsLike) {
    int out = 0;
    EXPECT_TRUE(weatherUtil::calculateWindChill(50, 10, out));
    EXPECT_EQ(out, 46);
    EXPECT_FALSE(weatherUtil::calculateWindChill(51, 10, out));
    EXPECT_EQ(out, 51);
    EXPECT_TRUE(weatherUtil::calculateWindChill(0, 15, out));
    EXPECT_EQ(out, -19);
    // A negative wind speed is read as calm, never NaN.
    EXPECT_TRUE(weatherUtil::calculateWindChill(30, -5, out));
    EXPECT_EQ(out, 54);

    EXPECT_FALSE(weatherUtil::calculateHeatIndex(86, 50, out));
    EXPECT_EQ(out, 86);
    EXPECT_TRUE(weatherUtil::calculateHeatIndex(90, 50, out));
    EXPECT_EQ(out, 94);
}

TEST(WeatherUtil, ClockTexts) {
    EXPECT_EQ(weatherTimeUtil::getStringForTime(0, 5), "12:05 AM");
    EXPECT_EQ(weatherTimeUtil::getStringForTime(12, 0), "12:00 PM");
    EXPECT_EQ(weatherTimeUtil::getStringForTime(13, 30), "1:30 PM");
    EXPECT_EQ(weatherTimeUtil::getStringForTime(11, 59), "11:59 AM");

    int h = -1, m = -1;
    EXPECT_TRUE(weatherTimeUtil::timeStrToInts("12:15 AM", h, m));
    EXPECT_EQ(h * 100 + m, 15);
    EXPECT_TRUE(weatherTimeUtil::timeStrToInts("12:15 PM", h, m));
    EXPECT_EQ(h * 100 + m, 1215);
    EXPECT_TRUE(weatherTimeUtil::timeStrToInts("Sunrise 7:05  pm EST", h, m));
    EXPECT_EQ(h * 100 + m, 1905);
    EXPECT_TRUE(weatherTimeUtil::timeStrToInts("7:05 Pm", h, m));
    EXPECT_EQ(h * 100 + m, 705);
    h = m = -1;
    EXPECT_FALSE(weatherTimeUtil::timeStrToInts("7:5 PM", h, m));
    EXPECT_EQ(h, -1);

    EXPECT_TRUE(weatherTimeUtil::isTimeBAfterTimeA(6, 30, 7, 0));
    EXPECT_TRUE(weatherTimeUtil::isTimeBAfterTimeA(6, 30, 6, 31));
    EXPECT_FALSE(weatherTimeUtil::isTimeBAfterTimeA(6, 30, 6, 30));
    EXPECT_FALSE(weatherTimeUtil::isTimeBAfterTimeA(7, 0, 6, 59));
}

TEST(WeatherUtil, DaylightTimeFollowsTheUsRule) {
    // 2026: March 8 and November 1 are the switch Sundays.
    EXPECT_FALSE(isDaylightTime(3, 1, 0, 12));   // first Sunday: not yet
    EXPECT_FALSE(isDaylightTime(3, 7, 6, 23));
    EXPECT_FALSE(isDaylightTime(3, 8, 0, 1));
    EXPECT_TRUE(isDaylightTime(3, 8, 0, 2));
    EXPECT_TRUE(isDaylightTime(3, 9, 1, 0));
    EXPECT_TRUE(isDaylightTime(3, 31, 2, 0));
    // 2024: the second Sunday was March 10.
    EXPECT_FALSE(isDaylightTime(3, 9, 6, 12));
    EXPECT_TRUE(isDaylightTime(3, 10, 0, 3));
    EXPECT_TRUE(isDaylightTime(7, 4, 6, 0));
    EXPECT_TRUE(isDaylightTime(10, 31, 6, 23));
    EXPECT_TRUE(isDaylightTime(11, 1, 0, 1));
    EXPECT_FALSE(isDaylightTime(11, 1, 0, 2));
    EXPECT_FALSE(isDaylightTime(11, 2, 1, 0));
    // 2025: November 2 was the first Sunday.
    EXPECT_TRUE(isDaylightTime(11, 1, 6, 12));
    EXPECT_FALSE(isDaylightTime(11, 26, 3, 12));
    EXPECT_FALSE(isDaylightTime(12, 20, 0, 12));
    EXPECT_FALSE(isDaylightTime(1, 5, 1, 12));
}

namespace {
// Pins the clock to a local noon of a date in UTC.
class PinnedDay {
public:
    PinnedDay(int year, int month, int day) {
        setenv("TZ", "UTC", 1);
        tzset();
        struct tm t {};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = 12;
        Clock::pin(timegm(&t));
    }
    ~PinnedDay() { Clock::unpin(); }
};
int minutes(int h, int m) { return h * 60 + m; }
}  // namespace

TEST(WeatherUtil, SunTimesMatchKnownValues) {
    int rh, rm, sh, sm;
    {
        // New York, 2026-01-15: sunrise 7:19, sunset 16:53 local standard time.
        PinnedDay day(2026, 1, 15);
        calculateSunTimes(-73.97f, 40.78f, -5, rh, rm, sh, sm);
        EXPECT_NEAR(minutes(rh, rm), minutes(7, 19), 2);
        EXPECT_NEAR(minutes(sh, sm), minutes(16, 53), 2);
    }
    {
        // Adelaide (standard offset 9.5), 2026-06-21: sunrise 7:23, sunset 17:13.
        PinnedDay day(2026, 6, 21);
        calculateSunTimes(138.6f, -34.93f, 9.5f, rh, rm, sh, sm);
        // Northern-hemisphere summer time is applied to every place, as the
        // US rule decides it for the machine's date.
        EXPECT_NEAR(minutes(rh, rm), minutes(8, 23), 2);
        EXPECT_NEAR(minutes(sh, sm), minutes(18, 13), 2);
    }
    {
        CaptureStdout out;
        PinnedDay day(2026, 12, 21);
        calculateSunTimes(15.0f, 80.0f, 1, rh, rm, sh, sm);
        EXPECT_EQ(rh, 100);
        EXPECT_EQ(rm, 100);
        EXPECT_EQ(sh, 100);
        EXPECT_EQ(sm, 100);
        std::string text = out.text();
        EXPECT_NE(text.find("Sun doesn't rise here this day: "), text.rfind("Sun doesn't rise here this day: "));
    }
    {
        CaptureStdout out;
        PinnedDay day(2026, 6, 21);
        calculateSunTimes(15.0f, 80.0f, 1, rh, rm, sh, sm);
        EXPECT_EQ(rh + rm + sh + sm, 800);
        EXPECT_NE(out.text().find("Sun doesn't set here this day: "), std::string::npos);
    }
    {
        // Hours stay within 0..23 wherever the wrap-around falls.
        PinnedDay day(2026, 3, 1);
        for (float lon = -180; lon <= 180; lon += 7.5f) {
            calculateSunTimes(lon, 10.0f, 0, rh, rm, sh, sm);
            EXPECT_GE(rh, 0);
            EXPECT_LT(rh, 24);
            EXPECT_LT(sh, 24);
            EXPECT_LT(rm, 60);
        }
    }
}

TEST(WeatherUtil, SunTimesOfImpossiblePlacesEnd) {
    // Coordinates read from page links can be anything: far out of range,
    // infinite or not a number. The times still come back as clock times or
    // as "does not happen", never after an endless wrap into the day.
    PinnedDay day(2026, 3, 1);
    CaptureStdout out;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float places[][3] = {{1e30f, 10.0f, 0}, {-1e30f, 10.0f, 0}, {inf, 10.0f, 0}, {-inf, 10.0f, 0},
                               {nan, 10.0f, 0},   {10.0f, nan, 0},    {10.0f, inf, 0}, {10.0f, 10.0f, 2e9f}};
    for (const auto& place : places) {
        int rh = -1, rm = -1, sh = -1, sm = -1;
        calculateSunTimes(place[0], place[1], place[2], rh, rm, sh, sm);
        for (int hour : {rh, sh}) EXPECT_TRUE((hour >= 0 && hour < 24) || hour == 100 || hour == 200) << hour;
        for (int minute : {rm, sm}) EXPECT_TRUE((minute >= 0 && minute < 60) || minute == 100 || minute == 200);
    }
}
