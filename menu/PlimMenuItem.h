#pragma once
// One line of the status menu as the menu controller describes it to the
// main-thread menu: a string map with a fixed vocabulary of short keys.
// Numbers travel as decimal text and are parsed again where the line is laid
// out.

#include <string>

#include "util/StringMap.h"

class PlimMenuItem {
public:
    // The kind of line, stored in decimal under TypeKey.
    enum Type {
        Forecast = 1,     // "forecast-1".."forecast-5"
        PrimaryCity = 2,  // "cityName"
        UpdateTime = 3,   // "updateTime"
        Condition = 4,    // a detail line, named by its preference key
        Separator = 5,    // "favSep"
        Favorite = 6,     // "fav-0".."fav-5"
        ErrorLine = 7,    // "error"
        Warning = 8,      // "warning"
        Radar = 9,        // "radar"
    };

    // Why the menu shows an error line, stored in decimal under ErrorCodeKey.
    enum Error {
        ReadError = 2,         // the weather page could not be read
        LastUpdateFailed = 3,  // the last primary update failed; older data shown
        NoConnection = 4,      // no connection
        NoContact = 5,         // the weather source did not answer
        NoLocationKey = 6,     // no source holds a location key for the city
        UnknownError = 1000,   // any other failure
    };

    // The code of a line or icon whose report gave no weather code (its
    // "code" value is empty): no condition text and no picture.
    static constexpr int NoWeatherCode = -1;

    static const std::string ItemKey;
    static const std::string TypeKey;
    static const std::string SaturationKey;
    static const std::string ErrorCodeKey;
    static const std::string WarnCodeKey;
    static const std::string WarnTypeKey;
    static const std::string WarnSeverityKey;
    static const std::string TemperatureKey;
    static const std::string SetMinKey;
    static const std::string RiseMinKey;
    static const std::string CurMinKey;
    static const std::string ForecastHiLoKey;
    static const std::string ForecastDayKey;
    static const std::string ConditionDataKey;
    static const std::string ConditionTypeKey;
    static const std::string TimeKey;
    static const std::string URLKey;
    static const std::string WeatherCodeKey;
    static const std::string CityNameKey;

    void set(const std::string& key, const std::string& value);
    void set(const std::string& key, const char* value) { set(key, std::string(value ? value : "")); }
    // "%lu".
    void set(const std::string& key, unsigned long value);
    // "%f": six decimals (0.500000).
    void setFloat(const std::string& key, float value);
    // Only under TypeKey ("%d"); any other key stores nothing and logs.
    void set(const std::string& key, Type value);

    // The value, or "" when the key is absent (the map stays as it is).
    std::string get(const std::string& key) const;

    StringMap& getHash() { return map_; }
    const StringMap& getHash() const { return map_; }

private:
    StringMap map_;
};
