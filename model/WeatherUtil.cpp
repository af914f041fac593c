#include "model/WeatherUtil.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "util/Clock.h"
#include "util/regex.h"

bool weatherUtil::calculateWindChill(int tempF, int windMph, int& out) {
    if (tempF >= 51) {
        out = tempF;
        return false;
    }
    // A negative speed is bad page data: treat it as calm rather than take a
    // fractional power of a negative number.
    const double v = std::pow(static_cast<double>(windMph < 0 ? 0 : windMph), 0.16);
    const double t = tempF;
    out = static_cast<int>(35.74 + 0.6215 * t - 35.75 * v + 0.4275 * t * v);
    return true;
}

bool weatherUtil::calculateHeatIndex(int tempF, int humidity, int& out) {
    if (tempF <= 86) {
        out = tempF;
        return false;
    }
    const double t = tempF;
    const double r = humidity;
    out = static_cast<int>(-42.379 + 2.04901523 * t + 10.14333127 * r - 0.22475541 * t * r -
                           0.00683783 * t * t - 0.05481717 * r * r + 0.00122874 * t * t * r +
                           0.00085282 * t * r * r - 0.00000199 * t * t * r * r);
    return true;
}

bool weatherTimeUtil::isTimeBAfterTimeA(int hourA, int minuteA, int hourB, int minuteB) {
    if (hourB != hourA) return hourB > hourA;
    return minuteB > minuteA;
}

std::string weatherTimeUtil::getStringForTime(int hour, int minute) {
    int shown = hour % 12 == 0 ? 12 : hour % 12;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d %s", shown, minute, hour >= 12 ? "PM" : "AM");
    return buf;
}

bool weatherTimeUtil::timeStrToInts(const std::string& text, int& hour, int& minute) {
    std::vector<std::string> groups;
    regex::matchMany("([0-9]{1,2})[:]([0-9]{2,2})[ ]+([apAP][mM])", text, groups, RegexFlags::Extended);
    if (groups.size() != 3) return false;
    int h = std::stoi(groups[0]);
    const bool afternoon = groups[2] == "pm" || groups[2] == "PM";
    if (!afternoon && h == 12) h = 0;
    if (afternoon && h < 12) h += 12;
    hour = h;
    minute = std::stoi(groups[1]);
    return true;
}

namespace {
// Day of the month (1..7) of the first Sunday, from any day and its weekday.
int firstSunday(int day, int weekday) { return ((day - weekday - 1) % 7 + 7) % 7 + 1; }
}  // namespace

bool isDaylightTime(int month, int day, int weekday, int hour) {
    if (month > 3 && month < 11) return true;
    if (month == 3) {
        const int secondSunday = firstSunday(day, weekday) + 7;
        return day > secondSunday || (day == secondSunday && hour >= 2);
    }
    if (month == 11) {
        const int first = firstSunday(day, weekday);
        return day < first || (day == first && hour < 2);
    }
    return false;
}

namespace {

constexpr float kRadians = 0.0174532924f;
constexpr float kZenith = 90.833f;

int dayOfYear(int year, int month, int day) {
    const int n1 = 275 * month / 9;
    const int n2 = (month + 9) / 12;
    const int n3 = 1 + (year - 4 * (year / 4) + 2) / 3;
    return n1 - n2 * n3 + day - 30;
}

// One event of the almanac algorithm; false with 100/200 when it does not happen.
void sunEvent(bool rising, int n, float lngHour, float latitude, float offset, int& hour, int& minute) {
    const float base = rising ? 6.0f : 18.0f;
    const float t = static_cast<float>(n) + (base - lngHour) / 24.0f;
    const float m = 0.9856f * t - 3.289f;
    float l = m + 1.916f * static_cast<float>(std::sin(m * kRadians)) +
              0.020f * static_cast<float>(std::sin(2 * m * kRadians)) + 282.634f;
    if (l >= 360.0f) l -= 360.0f;
    float ra = static_cast<float>(std::atan(0.91764 * std::tan(l * kRadians))) / kRadians;
    if (ra >= 360.0f) ra -= 360.0f;
    ra += std::floor(l / 90.0f) * 90.0f - std::floor(ra / 90.0f) * 90.0f;
    ra /= 15.0f;
    const float sinDec = 0.39782f * static_cast<float>(std::sin(l * kRadians));
    const float cosDec = static_cast<float>(std::cos(std::asin(sinDec)));
    const float cosH = (static_cast<float>(std::cos(kZenith * kRadians)) -
                        sinDec * static_cast<float>(std::sin(latitude * kRadians))) /
                       (cosDec * static_cast<float>(std::cos(latitude * kRadians)));
    if (cosH > 1.0f) {
        std::cout << "Sun doesn't rise here this day: " << cosH << std::endl;
        hour = minute = 100;
        return;
    }
    if (cosH < -1.0f) {
        std::cout << "Sun doesn't set here this day: " << cosH << std::endl;
        hour = minute = 200;
        return;
    }
    const float acosH = static_cast<float>(std::acos(cosH)) / kRadians;
    const float h = (rising ? 360.0f - acosH : acosH) / 15.0f;
    const float localT = h + ra - 0.06571f * t - 6.622f;
    float local = localT - lngHour + offset;
    if (!std::isfinite(local)) {
        // Coordinates or an offset that are no place on earth: no event.
        hour = minute = 100;
        return;
    }
    // Into the day by remainder: stepping by 24 never ends on values whose
    // spacing is wider than 24.
    local = std::fmod(local, 24.0f);
    if (local < 0) local += 24.0f;
    if (local >= 24.0f) local -= 24.0f;
    hour = static_cast<int>(std::floor(local));
    minute = static_cast<int>((local - static_cast<float>(hour)) * 60.0f);
    if (minute > 59) minute = 59;
}

}  // namespace

void calculateSunTimes(float longitude, float latitude, float offsetHours, int& riseHour, int& riseMinute,
                       int& setHour, int& setMinute) {
    const struct tm now = Clock::localNow();
    if (isDaylightTime(now.tm_mon + 1, now.tm_mday, now.tm_wday, now.tm_hour)) {
        offsetHours += 1;
        if (offsetHours >= 13) offsetHours -= 24;
    }
    const int n = dayOfYear(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    const float lngHour = longitude / 15.0f;
    sunEvent(true, n, lngHour, latitude, offsetHours, riseHour, riseMinute);
    sunEvent(false, n, lngHour, latitude, offsetHours, setHour, setMinute);
}
