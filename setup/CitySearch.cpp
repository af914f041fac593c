#include "setup/CitySearch.h"

#include <exception>
#include <iostream>
#include <system_error>

CitySearch::CitySearch(std::unique_ptr<AggrScraper> scraper, std::unique_ptr<ComTeskSysConfig> sysConfig,
                       std::string text)
    : sysConfig_(std::move(sysConfig)), scraper_(std::move(scraper)), text_(std::move(text)) {
    // Every source scraper gets the flag when its search thread starts.
    scraper_->setStopFlag(stop_);
}

CitySearch::~CitySearch() {
    stop();
    join();
}

bool CitySearch::start(std::function<void()> ended) {
    if (thread_.joinable()) return false;
    ended_ = std::move(ended);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& error) {
        std::cerr << "Couldn't start the search for " << text_ << ": " << error.what() << std::endl;
        return false;
    }
    return true;
}

void CitySearch::run() {
    try {
        status_ = scraper_->search(text_, cities_);
    } catch (const std::exception& error) {
        // A failed search is reported as such; the program goes on.
        std::cerr << "The search for " << text_ << " failed: " << error.what() << std::endl;
        cities_.clear();
        status_ = -1;
    }
    if (ended_) ended_();
}

void CitySearch::stop() { stop_->stop(); }

void CitySearch::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}
