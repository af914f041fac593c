#pragma once
// The base of every scraper: a city search, a scrape of one location into a
// report, the HTTP proxy the fetches go through, and the composite location
// keys under which a source's location identifier is stored.

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "model/ScrapeStatus.h"
#include "util/UrlUtils.h"
#include "util/teskThread.h"

class StopFlag;

class SuperScraper {
public:
    using Status = ScrapeStatus::Status;
    using enum ScrapeStatus::Status;

    // One search result.
    struct City {
        std::string key;   // the source's location key (composite key or URL)
        std::string name;  // display name, normally 'Boston, MA'
    };

    // The proxy pair as one value; an empty host means a direct connection.
    struct HttpProxy {
        std::string host;
        int port = 80;
    };

    // The byte between the components of a composite location key.
    static constexpr char keySeparator = '\x01';

    SuperScraper() = default;
    virtual ~SuperScraper() = default;
    SuperScraper(const SuperScraper&) = delete;
    SuperScraper& operator=(const SuperScraper&) = delete;

    // Appends the cities the source offers for a name; a Status value.
    virtual int search(const std::string& cityName, std::vector<City>& cities) = 0;
    // Fills the report for one location; a Status value saying whether the
    // page could be fetched and read (the report's score says how complete).
    virtual int scrape(const std::string& locationKey, ScrapeReport& report) = 0;

    // Replaces the proxy pair. Scraper threads may be fetching meanwhile, so
    // the pair is guarded; a fetch takes one copy with httpProxy().
    void setHttpProxy(const std::string& host, int port);
    HttpProxy httpProxy() const;

    // Chooses the proxy per host, so that the hosts the system exempts are
    // fetched directly. Without one every fetch uses the pair above.
    using ProxyChooser = std::function<HttpProxy(const std::string& host)>;
    void setProxyChooser(ProxyChooser chooser);
    ProxyChooser proxyChooser() const;
    // The proxy a fetch of url goes through.
    HttpProxy httpProxyForUrl(const std::string& url) const;

    // Once the flag is set, every fetch of this scraper ends at once, failed.
    void setStopFlag(std::shared_ptr<StopFlag> flag);
    std::shared_ptr<StopFlag> stopFlag() const;
    bool isStopped() const;
    // A page fetcher that honours the stop flag.
    UrlUtils fetcher() const;

    // Appends the components of a composite key: cut at every separator
    // byte; adjacent separators give an empty component, a trailing one gives
    // nothing after it, the empty key gives no component.
    static void splitKey(const std::string& key, std::vector<std::string>& parts);
    // key = the parts joined with the separator byte ("" for no parts). A
    // separator byte inside a part is dropped, so it cannot shift the
    // components that follow.
    static void joinKey(const std::vector<std::string>& parts, std::string& key);

private:
    mutable teskMutex proxyMutex_;
    std::string proxyHost_;
    int proxyPort_ = 80;
    ProxyChooser chooser_;
    std::shared_ptr<StopFlag> stop_;
};

// Diagnostics: two blanks, the name, " --> " and the key; a list prints one
// city per line.
std::ostream& operator<<(std::ostream& os, const SuperScraper::City& city);
std::ostream& operator<<(std::ostream& os, const std::vector<SuperScraper::City>& cities);
