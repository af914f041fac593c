// The site scrapers the aggregating scraper builds from configuration texts.

#include <memory>

#include "scrapers/AggrScraper.h"
#include "scrapers/AolScraper.h"
#include "scrapers/NwsScraper.h"
#include "scrapers/UgScraper.h"
#include "scrapers/UsaScraper.h"

void AggrScraper::initNwsScraper(const std::string& search, const std::string& scrape, const std::string& totalForecast,
                                 const std::string& latLon) {
    registerScraper(Nws, std::make_unique<NwsScraper>(search, scrape, totalForecast, latLon));
}

void AggrScraper::initAolScraper(const std::string& search, const std::string& scrape) {
    registerScraper(Aol, std::make_unique<AolScraper>(search, scrape));
}

void AggrScraper::initUgScraper(const std::string& search, const std::string& scrape) {
    registerScraper(Ug, std::make_unique<UgScraper>(search, scrape));
}

void AggrScraper::initUsaScraper(const std::string& search, const std::string& scrape) {
    registerScraper(Usa, std::make_unique<UsaScraper>(search, scrape));
}

void AggrScraper::initMsnScraper(const std::string&, const std::string&) {}
