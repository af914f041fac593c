#pragma once
// A stand-in weather source for the New Location search.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scrapers/AggrScraper.h"
#include "scrapers/SuperScraper.h"
#include "setup/LocationManagerSetup.h"
#include "util/http.h"

// A source whose search page lists "name|key" lines; its host is its first
// configuration text. Fetches go through the scraper's proxy, give up after
// timeoutSecs and end at once when the scraper's stop flag is set.
class LineSearchScraper : public SuperScraper {
public:
    explicit LineSearchScraper(std::string host, int timeoutSecs = 5)
        : host_(std::move(host)), timeoutSecs_(timeoutSecs) {}
    int search(const std::string& name, std::vector<City>& cities) override {
        std::string uri = "/search?q=" + name, header, body;
        std::replace(uri.begin(), uri.end(), ' ', '+');
        const HttpProxy proxy = httpProxy();
        http client(timeoutSecs_, 0, 0);
        client.setStopFlag(stopFlag());
        if (client.get(host_, uri, 80, proxy.host, proxy.port, header, body) != 0) return FetchFailed;
        std::istringstream lines(body);
        for (std::string line; std::getline(lines, line);)
            if (const size_t bar = line.find('|'); bar != std::string::npos)
                cities.push_back({line.substr(bar + 1), line.substr(0, bar)});
        return Success;
    }
    int scrape(const std::string&, ScrapeReport&) override { return Success; }

private:
    std::string host_;
    int timeoutSecs_;
};

// Gives the bundle one configuration per source naming its host ("n.example.com"
// for the National Weather Service, "a.", "u.", "t." for the others) and makes
// the search use line sources; `made` hears of each.
inline void useLineSearchSources(const std::filesystem::path& bundleRoot,
                                 std::vector<AggrScraper::ServiceType>* made = nullptr, int timeoutSecs = 5) {
    const std::filesystem::path config = bundleRoot / "Resources" / "config";
    std::filesystem::remove_all(config);
    std::filesystem::create_directories(config);
    for (const char* name : {"n1", "n2", "n3", "n4", "a1", "a2", "u1", "u2", "t1", "t2"})
        std::ofstream(config / (std::string(name) + ".conf")) << name[0] << ".example.com";
    LocationManagerSetup::setScraperFactory(
        [made, timeoutSecs](AggrScraper::ServiceType service, const std::vector<std::string>& texts) {
            if (made) made->push_back(service);
            return std::make_unique<LineSearchScraper>(texts.at(0), timeoutSecs);
        });
}
