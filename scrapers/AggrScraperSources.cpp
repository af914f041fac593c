// The site scrapers the aggregating scraper builds from configuration texts.

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "scrapers/AggrScraper.h"
#include "scrapers/AolScraper.h"
#include "scrapers/NwsScraper.h"
#include "scrapers/UgScraper.h"
#include "scrapers/UsaScraper.h"
#include "scrapers/scraperLog.h"

namespace {

// A source built from an empty configuration text finds nothing; say which
// text it was, since the menu only shows that the update failed.
void sayEmptyTexts(const char* service, std::initializer_list<std::pair<const char*, const std::string*>> texts) {
    for (const auto& [name, text] : texts) {
        if (text->empty()) {
            scraperLog::error(std::string("AggrScraper: the ") + service + " configuration " + name +
                              " is empty; the source finds nothing\n");
        }
    }
}

}  // namespace

void AggrScraper::initNwsScraper(const std::string& search, const std::string& scrape, const std::string& totalForecast,
                                 const std::string& latLon) {
    sayEmptyTexts("nws", {{"n1", &search}, {"n2", &scrape}, {"n3", &totalForecast}, {"n4", &latLon}});
    registerScraper(Nws, std::make_unique<NwsScraper>(search, scrape, totalForecast, latLon));
}

void AggrScraper::initAolScraper(const std::string& search, const std::string& scrape) {
    sayEmptyTexts("aol", {{"a1", &search}, {"a2", &scrape}});
    registerScraper(Aol, std::make_unique<AolScraper>(search, scrape));
}

void AggrScraper::initUgScraper(const std::string& search, const std::string& scrape) {
    sayEmptyTexts("ug", {{"u1", &search}, {"u2", &scrape}});
    registerScraper(Ug, std::make_unique<UgScraper>(search, scrape));
}

void AggrScraper::initUsaScraper(const std::string& search, const std::string& scrape) {
    sayEmptyTexts("usa", {{"t1", &search}, {"t2", &scrape}});
    registerScraper(Usa, std::make_unique<UsaScraper>(search, scrape));
}

void AggrScraper::initMsnScraper(const std::string&, const std::string&) {}
