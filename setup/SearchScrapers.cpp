#include "setup/SearchScrapers.h"

#include "scrapers/AolScraper.h"
#include "scrapers/NwsScraper.h"
#include "scrapers/UgScraper.h"
#include "scrapers/UsaScraper.h"

std::unique_ptr<SuperScraper> makeSearchScraper(AggrScraper::ServiceType service,
                                                const std::vector<std::string>& texts) {
    switch (service) {
        case AggrScraper::Nws:
            if (texts.size() < 4) return nullptr;
            return std::make_unique<NwsScraper>(texts[0], texts[1], texts[2], texts[3]);
        case AggrScraper::Aol:
            if (texts.size() < 2) return nullptr;
            return std::make_unique<AolScraper>(texts[0], texts[1]);
        case AggrScraper::Ug:
            if (texts.size() < 2) return nullptr;
            return std::make_unique<UgScraper>(texts[0], texts[1]);
        case AggrScraper::Usa:
            if (texts.size() < 2) return nullptr;
            return std::make_unique<UsaScraper>(texts[0], texts[1]);
        default:
            return nullptr;
    }
}
