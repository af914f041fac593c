#pragma once
// Values the weather pages do not give directly: the temperature it feels
// like, clock texts, daylight-saving time and sunrise and sunset.

#include <string>

class weatherUtil {
public:
    // Wind chill for temperatures below 51 F; otherwise out = temperature and false.
    static bool calculateWindChill(int tempF, int windMph, int& out);
    // Heat index for temperatures above 86 F; otherwise out = temperature and false.
    static bool calculateHeatIndex(int tempF, int humidity, int& out);
};

class weatherTimeUtil {
public:
    static bool isTimeBAfterTimeA(int hourA, int minuteA, int hourB, int minuteB);
    // "h:mm AM" / "h:mm PM" for an hour 0..23.
    static std::string getStringForTime(int hour, int minute);
    // Reads "7:05 pm" into 19 and 5; false (outputs untouched) when the text has no such time.
    static bool timeStrToInts(const std::string& text, int& hour, int& minute);
};

// Whether US daylight-saving time is in force: from 02:00 on the second
// Sunday of March to 02:00 on the first Sunday of November.
// month 1..12, day of month, weekday 0 (Sunday)..6, hour 0..23.
bool isDaylightTime(int month, int day, int weekday, int hour);

// Sunrise and sunset for today's local date at a place (degrees, east and
// north positive) whose standard time is offsetHours from GMT. An event that
// does not happen today gives 100 (no sunrise) or 200 (no sunset) as both its
// hour and minute.
void calculateSunTimes(float longitude, float latitude, float offsetHours, int& riseHour, int& riseMinute,
                       int& setHour, int& setMinute);
