#pragma once
// One New Location search of every enabled weather source, run on a thread
// of its own so that the window stays live (drawn, typed into, closed) while
// the sites answer. The owner builds the scraper on the main thread, starts
// the search, and hears on the main thread when it has ended; stop() ends
// its fetches at once, after which the owner drops the result.

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/Location.h"
#include "scrapers/AggrScraper.h"
#include "util/ComTeskSysConfig.h"
#include "util/StopFlag.h"

class CitySearch {
public:
    // The scraper with its sources and proxy, and the proxy settings its
    // proxy chooser reads (null for none); both live as long as the search.
    CitySearch(std::unique_ptr<AggrScraper> scraper, std::unique_ptr<ComTeskSysConfig> sysConfig, std::string text);
    // Stops the search and waits for its thread.
    ~CitySearch();
    CitySearch(const CitySearch&) = delete;
    CitySearch& operator=(const CitySearch&) = delete;

    // Starts the thread; `ended` is called on it as its last act. False when
    // no thread could be made (`ended` is then never called).
    bool start(std::function<void()> ended);
    // Ends every fetch of the search at once; any thread may call it.
    void stop();
    // Waits for the thread (it has ended, or is about to, once `ended` ran).
    void join();

    const std::string& text() const { return text_; }
    // The search's answer, to be read after join(): its status (0 for
    // success), the cities found and the scraper with each source's status.
    int status() const { return status_; }
    std::vector<Location>& cities() { return cities_; }
    const AggrScraper& scraper() const { return *scraper_; }

private:
    void run();

    std::unique_ptr<ComTeskSysConfig> sysConfig_;
    std::unique_ptr<AggrScraper> scraper_;
    std::shared_ptr<StopFlag> stop_ = std::make_shared<StopFlag>();
    std::string text_;
    int status_ = -1;
    std::vector<Location> cities_;
    std::function<void()> ended_;
    std::thread thread_;
};
