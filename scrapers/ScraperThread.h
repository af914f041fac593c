#pragma once
// One unit of scraping work off the calling thread: a city search with one
// source, or a location scrape with an optional fallback to a second source.
// The creator fills the thread's record, starts it, joins it and then reads
// the record.

#include <memory>
#include <string>
#include <vector>

#include "model/Location.h"
#include "model/ScrapeReport.h"
#include "scrapers/SuperScraper.h"
#include "util/teskThread.h"

class LocationManager;
class WeatherDataSink;

class ScraperThread : public teskObjcThread {
public:
    enum class ScrapeType { Search = 0, Location = 1 };

    // A primary report scoring below this falls back to the backup source:
    // without a valid temperature a primary city cannot reach it.
    static constexpr int kBackupScore = 76;

    struct SearchSpec {
        SuperScraper* scraper = nullptr;  // not owned
        std::string searchText;
        // The search results, created by the run; null until then.
        std::unique_ptr<std::vector<SuperScraper::City>> cities;
        SuperScraper::Status status = SuperScraper::Success;
    };

    struct LocationSpec {
        SuperScraper* primaryScraper = nullptr;  // not owned; null when no source knows the city
        std::string primaryKey;
        SuperScraper* backupScraper = nullptr;  // not owned; null when there is no second source
        std::string backupKey;
        Location location;  // a copy; its name becomes the report's cityName
        LocationManager* locationManager = nullptr;
        WeatherDataSink* menuController = nullptr;  // receives the finished report; none in the setup program
        // Handles the refresh cycle keeps with the thread; the thread never uses them.
        void* controllerProxy = nullptr;
        int favoriteIndex = 0;
        bool withGui = false;
        int (*callback)(void*) = nullptr;  // kept with the record, never called
        ScrapeReport report;
        SuperScraper::Status status = SuperScraper::Success;  // of the last scrape attempt
    };

    explicit ScraperThread(ScrapeType type) : type_(type) {}
    // Waits for a run still under way, so the records outlive it.
    ~ScraperThread() override;

    // Start the thread when it is of the matching type; false otherwise or
    // when no thread could be created.
    bool startSearch();
    bool startLocation();

    ScrapeType type() const { return type_; }
    SearchSpec& getSearchSpec() { return search_; }
    LocationSpec& getLocationSpec() { return location_; }

protected:
    void run() override;

private:
    void runSearch();
    void runLocation();
    // One scrape with `scraper` into the record's report; the record's status
    // and `handed` (a copy with score 0) take the result.
    void scrapeWith(SuperScraper& scraper, const std::string& key, ScrapeReport& handed);

    const ScrapeType type_;
    SearchSpec search_;
    LocationSpec location_;
};
