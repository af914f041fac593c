#pragma once
// Registers the weather sources with the aggregating scraper from the texts
// of their configuration files. A source is added only when all its files
// are present and none is empty; without it the scraper has one source less
// and the menu shows the failures of the cities no source knows.

#include <iostream>
#include <memory>
#include <string>

#include "scrapers/AggrScraper.h"
#include "scrapers/NwsScraper.h"

namespace site_sources_detail {

inline bool allPresent(std::initializer_list<const std::string*> texts) {
    for (const std::string* t : texts)
        if (t->empty()) return false;
    return true;
}

}  // namespace site_sources_detail

// The National Weather Service from "n1" to "n4".
template <class Aggr = AggrScraper>
bool addNwsSource(Aggr& aggr, const std::string& n1, const std::string& n2, const std::string& n3,
                  const std::string& n4) {
    if (!site_sources_detail::allPresent({&n1, &n2, &n3, &n4})) return false;
    if constexpr (requires { aggr.initNwsScraper(n1, n2, n3, n4); }) {
        aggr.initNwsScraper(n1, n2, n3, n4);
        return true;
    } else {
        aggr.registerScraper(AggrScraper::Nws, std::make_unique<NwsScraper>(n1, n2, n3, n4));
        return true;
    }
}

// AOL ("a1", "a2"), Weather Underground ("u1", "u2") or USA Today ("t1", "t2").
template <class Aggr = AggrScraper>
bool addSiteSource(Aggr& aggr, AggrScraper::ServiceType service, const std::string& search,
                   const std::string& scrape) {
    if (!site_sources_detail::allPresent({&search, &scrape})) return false;
    bool added = false;
    if (service == AggrScraper::Aol) {
        if constexpr (requires { aggr.initAolScraper(search, scrape); }) {
            aggr.initAolScraper(search, scrape);
            added = true;
        }
    } else if (service == AggrScraper::Ug) {
        if constexpr (requires { aggr.initUgScraper(search, scrape); }) {
            aggr.initUgScraper(search, scrape);
            added = true;
        }
    } else if (service == AggrScraper::Usa) {
        if constexpr (requires { aggr.initUsaScraper(search, scrape); }) {
            aggr.initUsaScraper(search, scrape);
            added = true;
        }
    }
    if (!added) std::cerr << "Skyvane: this build has no scraper for source " << aggr.serviceName(service) << std::endl;
    return added;
}
