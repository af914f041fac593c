#include "setup/SearchScrapers.h"

#include "scrapers/FlexiScraper.h"

std::unique_ptr<SuperScraper> makeSearchScraper(AggrScraper::ServiceType, const std::vector<std::string>& texts) {
    if (texts.size() < 2) return nullptr;
    return std::make_unique<FlexiScraper>(texts[0], texts[1]);
}
