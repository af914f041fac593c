#pragma once
// The USA Today weather pages. A configurable scraper whose search also takes
// the site's direct answer (a redirect to one location's page), whose names
// lose their parentheses and the country, and which puts today's values in
// front of the forecast lists, so that the first forecast day is the rest of
// today. Keys are four letters and four digits (USNY0996).

#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "scrapers/FlexiScraper.h"
#include "util/StringMap.h"

class UsaScraper : public FlexiScraper {
public:
    UsaScraper(const std::string& searchText, const std::string& scrapeText);
    ~UsaScraper() override = default;

    // The fetch status, EmptyKey for a redirect without a location code, or
    // the status of the scrape that reads a redirected city's name.
    int search(const std::string& cityName, std::vector<SuperScraper::City>& cities) override;
    int scrape(const std::string& key, ScrapeReport& report) override;
    // The base's cleaning, then without "(", ")" and ", United States".
    void cleanText(std::string& text) override;

    // Puts value in front of the numbered list key-1, key-2, ...
    static void pushToKeyList(StringMap& table, const std::string& key, const std::string& value);
};
