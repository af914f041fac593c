#pragma once
// The scrapers a new-location search asks: one per source, made from that
// source's configuration texts.

#include <memory>
#include <string>
#include <vector>

#include "scrapers/AggrScraper.h"

// The scraper of a source from its texts (four for the National Weather
// Service, two for the others); null for a source this build cannot search.
std::unique_ptr<SuperScraper> makeSearchScraper(AggrScraper::ServiceType service,
                                                const std::vector<std::string>& texts);
