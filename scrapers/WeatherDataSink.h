#pragma once
// Where finished scrape reports go: the menu controller implements it. A
// scraper thread calls it from its own thread, so an implementation guards
// its own data.

#include "model/ScrapeReport.h"

class WeatherDataSink {
public:
    WeatherDataSink() = default;
    WeatherDataSink(const WeatherDataSink&) = delete;
    WeatherDataSink& operator=(const WeatherDataSink&) = delete;
    virtual ~WeatherDataSink() = default;

    // Takes one finished scrape: its inputs, tables and status.
    virtual void setWeatherData(ScrapeReport& report) = 0;
};
