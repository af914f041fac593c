#include "scrapers/AggrScraper.h"

#include <mutex>
#include <string>

#include "scrapers/WeatherDataSink.h"
#include "scrapers/scraperLog.h"
#include "util/regex.h"

const std::string AggrScraper::KeyNotInDb = "key_not_in_db";

namespace {

// Sources name their US cities 'Springfield, United States'; the stored
// locations and the other sources say 'Springfield'.
std::string withoutCountry(const std::string& name) {
    return regex::substitute(", United States", name, "", RegexFlags::Extended);
}

// A search answer that says the source does not know the name, as opposed
// to one that could not be had just now (fetch failed, no host).
bool isDefiniteMiss(int status) { return status == SuperScraper::EmptyKey; }

// Holds an optional mutex for a scope.
class OptionalLock {
public:
    explicit OptionalLock(teskMutex* mutex) : mutex_(mutex) {
        if (mutex_ != nullptr) mutex_->lock();
    }
    ~OptionalLock() {
        if (mutex_ != nullptr) mutex_->unlock();
    }
    OptionalLock(const OptionalLock&) = delete;
    OptionalLock& operator=(const OptionalLock&) = delete;

private:
    teskMutex* mutex_;
};

}  // namespace

AggrScraper::AggrScraper() : serviceNames_{"auto", "nws", "y", "aol", "msn", "ug", "usa"} {}

AggrScraper::~AggrScraper() { scrapers_.clear(); }

int AggrScraper::search(const std::string&, std::vector<City>&) { return 0; }

int AggrScraper::scrape(const std::string&, ScrapeReport&) { return 0; }

int AggrScraper::scrape(Location&, ServiceType, ScrapeReport&) { return 0; }

void AggrScraper::registerScraper(ServiceType service, std::unique_ptr<SuperScraper> scraper) {
    const std::string& name = serviceName(service);
    if (name.empty() || scraper == nullptr) return;
    scrapers_[name] = std::move(scraper);
}

SuperScraper* AggrScraper::scraperFor(const std::string& service) const {
    auto it = scrapers_.find(service);
    return it == scrapers_.end() ? nullptr : it->second.get();
}

const std::string& AggrScraper::serviceName(int service) const {
    static const std::string none;
    if (service < 0 || service >= kServiceTypes) return none;
    return serviceNames_[static_cast<size_t>(service)];
}

void AggrScraper::pushProxy(SuperScraper& scraper) const {
    HttpProxy proxy = httpProxy();
    scraper.setHttpProxy(proxy.host, proxy.port);
    scraper.setProxyChooser(proxyChooser());
    scraper.setStopFlag(stopFlag());
}

const std::string& AggrScraper::saveKeyForService(Location& location, SuperScraper* scraper,
                                                  const std::string& service) {
    location.name = withoutCountry(location.name);

    auto known = location.serviceKeys.find(service);
    if (known != location.serviceKeys.end()) return known->second;
    if (scraper == nullptr) return KeyNotInDb;
    if (unreachable_ != nullptr && unreachable_->count(service) > 0) return KeyNotInDb;

    pushProxy(*scraper);
    std::vector<City> cities;
    int status = scraper->search(location.name, cities);

    std::string key = KeyNotInDb;
    if (status != Success) {
        if (!isDefiniteMiss(status)) {
            // Not an answer about the city: ask again at the next refresh,
            // but not again during this walk.
            scraperLog::error("AggrScraper: could not search " + service + " for " + location.name + " (status " +
                              std::to_string(status) + ")\n");
            if (unreachable_ != nullptr) unreachable_->insert(service);
            return KeyNotInDb;
        }
    } else if (cities.size() == 1) {
        if (cities[0].name == location.name) {
            key = cities[0].key;
        } else {
            scraperLog::print("City found (" + cities[0].name + ") doesn't match city we're looking for (" +
                              location.name + ")\n");
        }
    }
    return location.serviceKeys.insert_or_assign(service, key).first->second;
}

SuperScraper* AggrScraper::tryFindingServiceKey(std::string& service, Location& location, std::string& key) {
    SuperScraper* scraper = scraperFor(service);
    if (scraper != nullptr) {
        const std::string& found = saveKeyForService(location, scraper, service);
        if (found != KeyNotInDb) {
            key = found;
            return scraper;
        }
    }
    service.clear();
    key.clear();
    return nullptr;
}

SuperScraper* AggrScraper::findNthBestScraper(int n, Location& location, std::vector<int> order, std::string& key,
                                              std::string& service) {
    SuperScraper* lastCounted = nullptr;
    int count = 0;
    for (int id : order) {
        if (id < 0 || id >= kServiceTypes) {
            scraperLog::error("AggrScraper: ignoring unknown source " + std::to_string(id) + " in the source order\n");
            continue;
        }
        service = serviceName(id);
        SuperScraper* scraper = tryFindingServiceKey(service, location, key);
        if (scraper == nullptr || scraper == lastCounted) continue;
        lastCounted = scraper;
        if (++count == n) return scraper;
    }
    return nullptr;
}

bool AggrScraper::startScrape(ScraperThread* thread, Location& location, std::vector<int> order, int (*callback)(void*),
                              ScrapeReport& report, teskMutex* locationGuard) {
    report.setInput("advance", advance_ ? "1" : "0");
    if (thread == nullptr || isStopped()) return false;
    ScraperThread::LocationSpec& spec = thread->getLocationSpec();

    // The walks search sources over the network; they work on a copy, so the
    // caller's location is only touched (under its guard) before and after.
    Location before;
    {
        OptionalLock lock(locationGuard);
        before = location;
    }
    Location work = before;
    {
        std::lock_guard<teskMutex> walk(walkMutex_);
        std::set<std::string> unreachable;
        unreachable_ = &unreachable;
        std::string service;
        spec.primaryScraper = findNthBestScraper(1, work, order, spec.primaryKey, service);
        spec.backupScraper = findNthBestScraper(2, work, order, spec.backupKey, service);
        unreachable_ = nullptr;
    }
    {
        OptionalLock lock(locationGuard);
        if (work.name != before.name) location.name = work.name;
        for (const auto& [service, key] : work.serviceKeys) {
            if (before.serviceKeys.count(service) == 0) location.serviceKeys[service] = key;
        }
    }
    spec.callback = callback;
    spec.report = report;
    spec.location = work;

    // Stopped during the walk: the refresh is being torn down.
    if (isStopped()) return false;
    if (spec.primaryScraper != nullptr) {
        pushProxy(*spec.primaryScraper);
        if (spec.backupScraper != nullptr) pushProxy(*spec.backupScraper);
        if (thread->startLocation()) return true;
        // Without a thread the refresh would end silently: hand on a failure.
        scraperLog::error("AggrScraper: could not start the scrape of " + work.name + "\n");
        spec.status = FetchFailed;
        spec.report.setInput("cityName", work.name);
        spec.report.setStatus(FetchFailed);
        if (spec.menuController != nullptr) spec.menuController->setWeatherData(spec.report);
        return false;
    }

    // No source in the order knows the location; the menu shows why. Without
    // a sink (the setup program) the report stays untouched.
    if (spec.menuController != nullptr) {
        report.setStatus(NoScraper);
        report.setInput("cityName", work.name);
        spec.menuController->setWeatherData(report);
    }
    return false;
}

bool AggrScraper::spawnSearchThread(const std::string& name, ScraperThread& thread, ServiceType service) {
    SuperScraper* scraper = scraperFor(serviceName(service));
    if (scraper == nullptr) return false;
    ScraperThread::SearchSpec& spec = thread.getSearchSpec();
    spec.scraper = scraper;
    spec.searchText = name;
    pushProxy(*scraper);
    return thread.startSearch();
}

int AggrScraper::search(const std::string& name, std::vector<Location>& out) {
    struct Source {
        ServiceType service;
        ScraperThread thread{ScraperThread::ScrapeType::Search};
    };
    // Started in this order, merged in the order below.
    Source ug{Ug}, nws{Nws}, aol{Aol}, usa{Usa};
    std::set<Source*> started;
    for (Source* source : {&ug, &nws, &aol, &usa})
        if (spawnSearchThread(name, source->thread, source->service)) started.insert(source);

    std::map<std::string, Location> merged;
    lastSearchStatuses_.clear();
    for (Source* source : {&ug, &aol, &nws, &usa}) {
        source->thread.join();
        if (started.count(source))
            lastSearchStatuses_[serviceName(source->service)] = source->thread.getSearchSpec().status;
        const auto& cities = source->thread.getSearchSpec().cities;
        if (cities == nullptr) continue;
        const std::string& service = serviceName(source->service);
        for (City city : *cities) {
            if (source->service == Aol) city.name = withoutCountry(city.name);
            addCityToHash(merged, city, service);
        }
    }
    mixAggrHashDownToList(merged, out);
    return 0;
}

void AggrScraper::addCityToHash(std::map<std::string, Location>& merged, const City& city, const std::string& service) {
    auto [entry, added] = merged.try_emplace(city.name);
    if (added) {
        entry->second.name = city.name;
        entry->second.status = Location::kPlain;
    }
    entry->second.serviceKeys[service] = city.key;
}

void AggrScraper::mixAggrHashDownToList(std::map<std::string, Location>& merged, std::vector<Location>& out) {
    for (const auto& [name, location] : merged) out.push_back(location);
}
