#pragma once
// The AOL weather pages. A configurable scraper that adds the dew point,
// computed from the scraped temperature and humidity, and reads city keys
// (four letters and four digits, e.g. USIL0225) out of search-result links.
// The site's search offers no cities: AOL keys come from stored locations.

#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "scrapers/FlexiScraper.h"

class AolScraper : public FlexiScraper {
public:
    AolScraper(const std::string& searchText, const std::string& scrapeText);
    ~AolScraper() override = default;

    // Fetches and scores the search page, but adds no city: EmptyKey after a
    // successful fetch, else the fetch status.
    int search(const std::string& cityName, std::vector<SuperScraper::City>& cities) override;
    // Scores every chunk of the page, then adds "%" to the humidity and the
    // dew point, and post-processes once more. The fetch status.
    int scrape(const std::string& key, ScrapeReport& report) override;
    // The key in a result link; an empty name is read from the key's page.
    bool insertCity(const std::string& url, const std::string& name,
                    std::vector<SuperScraper::City>& cities) override;

    // The dew point in whole degrees Fahrenheit (truncated) of a temperature
    // and a relative humidity in percent, as "%d" text; "Unavailable" unless
    // the temperature is a plausible reading and 1 < humidity <= 100.
    static std::string dewPoint(const std::string& temperature, const std::string& humidity);
};
