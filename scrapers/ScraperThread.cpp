#include "scrapers/ScraperThread.h"

#include <string>

#include "scrapers/WeatherDataSink.h"
#include "scrapers/scraperLog.h"

ScraperThread::~ScraperThread() { join(); }

bool ScraperThread::startSearch() { return type_ == ScrapeType::Search && start(); }

bool ScraperThread::startLocation() { return type_ == ScrapeType::Location && start(); }

void ScraperThread::run() {
    if (type_ == ScrapeType::Search) {
        runSearch();
    } else {
        runLocation();
    }
}

void ScraperThread::runSearch() {
    search_.cities = std::make_unique<std::vector<SuperScraper::City>>();
    if (search_.scraper == nullptr) {
        search_.status = SuperScraper::NoScraper;
        return;
    }
    search_.status = static_cast<SuperScraper::Status>(search_.scraper->search(search_.searchText, *search_.cities));
}

void ScraperThread::scrapeWith(SuperScraper& scraper, const std::string& key, ScrapeReport& handed) {
    ScrapeReport& report = location_.report;
    report.setInput("cityName", location_.location.name);
    auto status = static_cast<SuperScraper::Status>(scraper.scrape(key, report));
    location_.status = status;
    handed.copy(report);
    handed.setStatus(status);
}

void ScraperThread::runLocation() {
    ScrapeReport handed;
    if (location_.primaryScraper == nullptr) {
        // Nothing to scrape with: say so rather than hand on an empty success.
        location_.report.setInput("cityName", location_.location.name);
        location_.status = SuperScraper::NoScraper;
        handed.copy(location_.report);
        handed.setStatus(SuperScraper::NoScraper);
    } else {
        scrapeWith(*location_.primaryScraper, location_.primaryKey, handed);
        if (location_.report.score() < kBackupScore && location_.backupScraper != nullptr &&
            !location_.primaryScraper->isStopped()) {
            scraperLog::print("Skyvane: using backup location! status=[" + std::to_string(location_.status) +
                              "] score=[" + std::to_string(location_.report.score()) + "]\n");
            location_.report.clearForRescrape();
            scrapeWith(*location_.backupScraper, location_.backupKey, handed);
        }
        // A page that was fetched but gave neither a temperature nor a
        // weather code is no weather: the menu shows the failure and keeps
        // the last good report instead of showing an empty one as current.
        if (handed.getStatus() == SuperScraper::Success && !handed.carriesWeather()) {
            scraperLog::print("Skyvane: no weather found for [" + location_.location.name + "]\n");
            handed.setStatus(SuperScraper::EmptyKey);
        }
    }
    // A stopped scrape belongs to a refresh being torn down: its report goes nowhere.
    const bool stopped = location_.primaryScraper != nullptr && location_.primaryScraper->isStopped();
    if (location_.menuController != nullptr && !stopped) location_.menuController->setWeatherData(handed);
}
