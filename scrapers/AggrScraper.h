#pragma once
// The one scraper the rest of the program talks to. It owns the site
// scrapers under short service names and does what needs all of them: it
// ranks the sources for a location in the user's order (finding and
// remembering each source's location key on the way) and starts a scraper
// thread with the best and the second-best source, and it searches every
// source at once for a new city and merges the answers by name.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/Location.h"
#include "scrapers/ScraperThread.h"
#include "scrapers/SuperScraper.h"
#include "util/teskThread.h"

class AggrScraper : public SuperScraper {
public:
    // The source identifiers of the source-order preference.
    enum ServiceType { Auto = 0, Nws = 1, Yahoo = 2, Aol = 3, Msn = 4, Ug = 5, Usa = 6 };
    static constexpr int kServiceTypes = 7;

    // The key stored for a source that was searched and does not know the city.
    static const std::string KeyNotInDb;

    AggrScraper();
    ~AggrScraper() override;

    // The single-source operations do nothing here.
    int search(const std::string& cityName, std::vector<City>& cities) override;
    int scrape(const std::string& locationKey, ScrapeReport& report) override;

    // Searches every registered source at once and appends one candidate per
    // distinct city name, carrying each source's key; always 0.
    virtual int search(const std::string& name, std::vector<Location>& out);
    // The status of each source the last search started, by source name.
    const std::map<std::string, int>& lastSearchStatuses() const { return lastSearchStatuses_; }
    virtual int scrape(Location& location, ServiceType service, ScrapeReport& report);

    // Create a site scraper from its configuration texts and register it.
    void initNwsScraper(const std::string& search, const std::string& scrape, const std::string& totalForecast,
                        const std::string& latLon);
    void initAolScraper(const std::string& search, const std::string& scrape);
    void initUgScraper(const std::string& search, const std::string& scrape);
    void initUsaScraper(const std::string& search, const std::string& scrape);
    // There is no such source any more: nothing is registered.
    void initMsnScraper(const std::string& search, const std::string& scrape);

    // Registers (and owns) the scraper of a source, replacing an earlier one.
    void registerScraper(ServiceType service, std::unique_ptr<SuperScraper> scraper);
    // The registered scraper of a service name, or null.
    SuperScraper* scraperFor(const std::string& service) const;
    // "auto", "nws", "y", "aol", "msn", "ug" or "usa"; "" out of range.
    const std::string& serviceName(int service) const;

    void setAdvance(bool advance) { advance_ = advance; }
    bool advance() const { return advance_; }

    // Picks the primary and backup source for the location in the given
    // order and starts the location thread; true when it was started. The
    // location gets the shortened name and the keys found; when another
    // thread reads it, pass the mutex that guards it as locationGuard (it is
    // not held during the source searches). A location no source knows is
    // reported to the thread's sink at once with status 6. Once the stop flag
    // is set nothing is started and no report is handed on.
    bool startScrape(ScraperThread* thread, Location& location, std::vector<int> order, int (*callback)(void*),
                     ScrapeReport& report, teskMutex* locationGuard = nullptr);

    // The n-th distinct source (from 1) in the order that knows the location.
    SuperScraper* findNthBestScraper(int n, Location& location, std::vector<int> order, std::string& key,
                                     std::string& service);
    // The scraper and key of a service for the location, or null (service and
    // key then empty).
    SuperScraper* tryFindingServiceKey(std::string& service, Location& location, std::string& key);
    // The location's key for a source, searched once and stored.
    const std::string& saveKeyForService(Location& location, SuperScraper* scraper, const std::string& service);

    bool spawnSearchThread(const std::string& name, ScraperThread& thread, ServiceType service);
    static void addCityToHash(std::map<std::string, Location>& merged, const City& city, const std::string& service);
    static void mixAggrHashDownToList(std::map<std::string, Location>& merged, std::vector<Location>& out);

private:
    // Gives the scraper this object's proxy pair, proxy chooser and stop flag.
    void pushProxy(SuperScraper& scraper) const;

    std::vector<std::string> serviceNames_;
    bool advance_ = false;
    std::map<std::string, std::unique_ptr<SuperScraper>> scrapers_;
    std::map<std::string, int> lastSearchStatuses_;

    // One location walk at a time; during one, the sources that could not be
    // searched just now, so that the walk asks each of them once.
    teskMutex walkMutex_;
    std::set<std::string>* unreachable_ = nullptr;
};
