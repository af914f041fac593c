#pragma once
// One scrape of one city: the request parameters (input table), the raw
// values a scraper extracted (output table), the validated and enriched values
// the menu shows (display table), the scrape's status and a quality score.

#include <ostream>
#include <string>

#include "model/ScrapeStatus.h"
#include "model/UnitConverter.h"
#include "util/StringMap.h"

class ScrapeReport {
public:
    ScrapeReport() = default;
    ScrapeReport(const ScrapeReport&) = default;
    ScrapeReport& operator=(const ScrapeReport&) = default;

    // The other report's three tables, with a score of 0; the status stays.
    void copy(const ScrapeReport& other);
    // Empties the output and display tables and sets the status to 0 before
    // a scrape with a backup source; the inputs and the score stay.
    void clearForRescrape();

    StringMap& getInputHashRef() { return inputHash_; }
    StringMap& getOutputHashRef() { return outputHash_; }
    StringMap& getDisplayHashRef() { return displayHash_; }
    const StringMap& getInputHashRef() const { return inputHash_; }
    const StringMap& getOutputHashRef() const { return outputHash_; }
    const StringMap& getDisplayHashRef() const { return displayHash_; }
    void setInput(const std::string& key, const std::string& value) { inputHash_[key] = value; }

    int score() const { return score_; }
    ScrapeStatus::Status getStatus() const { return status_; }
    void setStatus(ScrapeStatus::Status status) { status_ = status; }

    // Copies the output into the display table, stamps report_time, derives
    // the wind and sun-time keys, then validates and scores (0 to 100).
    void postProcess();

    // True when the scraper found a valid temperature or a valid weather
    // code: a report with neither holds no current weather to show.
    bool carriesWeather() const;

    // A copy of the display table with temperatures, wind, visibility and
    // pressure rewritten for the units; the report is not changed.
    StringMap getDisplayableHash(UnitConverter::Units units) const;

    // text read as a base-10 number (a numeric prefix is enough: '72F' is
    // 72); true when it lies within low..high, both included.
    static bool validateInt(const std::string& text, int& value, int low, int high);
    // Minutes since midnight of the first 'h:mm AM' time in the text, 0 to
    // 1439; "0" when there is none.
    static std::string timeToMinutes(const std::string& text);

    void validateTemp(const std::string& key, int points);
    void validateIconCode(const std::string& key, int points);
    void postProcessWind();
    void postProcessSunriseSet();

private:
    ScrapeStatus::Status status_ = ScrapeStatus::Success;
    StringMap inputHash_;
    StringMap outputHash_;
    StringMap displayHash_;
    int score_ = 0;

    friend std::ostream& operator<<(std::ostream& os, const ScrapeReport& report);
};

// Diagnostics: status, the three tables and the score, one per line.
std::ostream& operator<<(std::ostream& os, const ScrapeReport& report);
