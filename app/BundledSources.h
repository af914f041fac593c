#pragma once
// The weather sources a bundle carries: each one's configuration texts, read
// from the bundle's "config" folder.

#include <functional>
#include <string>
#include <vector>

#include "scrapers/AggrScraper.h"

class Bundle;

using BundledSourceHandler =
    std::function<void(AggrScraper::ServiceType service, const std::vector<std::string>& texts)>;

// Calls take for each source whose files are all present and not empty: the
// National Weather Service (four texts) and, in advanced mode, the other
// sources (two texts each).
void forEachBundledSource(Bundle& bundle, bool advanced, const BundledSourceHandler& take);

// Registers every bundled source's site scraper with the aggregating scraper.
void registerBundledSources(AggrScraper& aggr, Bundle& bundle, bool advanced);
