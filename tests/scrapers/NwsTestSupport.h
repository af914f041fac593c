#pragma once
// Shared set-up of the National Weather Service tests: the scraper built from
// the shipped configurations, fetching through the loopback fixture server as
// its proxy, with the clock pinned to an early December afternoon.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "scrapers/NwsScraper.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"
#include "util/Clock.h"

namespace nwstest {

// 2026-12-08 18:00:00 UTC, a Tuesday.
constexpr time_t kPinnedNow = 1796752800;

inline std::unique_ptr<NwsScraper> makeScraper() {
    return std::make_unique<NwsScraper>(shippedConfig("n1"), shippedConfig("n2"), shippedConfig("n3"), shippedConfig("n4"));
}

inline std::string key(const std::vector<std::string>& parts) {
    std::string joined;
    SuperScraper::joinKey(parts, joined);
    return joined;
}

// Serves tests/fixtures/nws; a test routes each host and path it needs.
class NwsFixture {
public:
    NwsFixture() : server(std::string(SKYVANE_FIXTURES_DIR) + "/nws"), scraper(makeScraper()) {
        scraper->setHttpProxy("127.0.0.1", server.port());
        Clock::pin(kPinnedNow);
    }
    ~NwsFixture() { Clock::unpin(); }

    bool requested(const std::string& target) const {
        const auto requests = server.requests();
        return std::any_of(requests.begin(), requests.end(), [&](const auto& r) { return r.target == target; });
    }

    FixtureServer server;
    std::unique_ptr<NwsScraper> scraper;
};

}  // namespace nwstest
