#pragma once
// Stand-in weather sources and a report sink for the scraper-thread and
// aggregating-scraper tests: answers are set by the test, calls are recorded,
// and every member is guarded because several threads may share one source.

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "scrapers/SuperScraper.h"
#include "scrapers/WeatherDataSink.h"
#include "util/StringMap.h"

// Output values that post-processing scores at exactly `points` for a
// primary city (temperature 30, weather code 20, forecast codes 20, 15, 10, 5).
inline StringMap outputsScoring(int points) {
    static const std::vector<std::pair<std::string, int>> weights = {
        {"temperature", 30}, {"weatherCode", 20}, {"code-1", 20}, {"code-2", 15}, {"code-3", 10}, {"code-4", 5}};
    StringMap out;
    int left = points;
    for (const auto& [key, weight] : weights) {
        if (weight > left) continue;
        out[key] = key == "temperature" ? "72" : "26";
        left -= weight;
    }
    EXPECT_EQ(left, 0) << "no combination scores " << points;
    return out;
}

class StubScraper : public SuperScraper {
public:
    struct Outcome {
        int status = Success;
        StringMap outputs;  // post-processed into the report when status is 0
    };

    explicit StubScraper(std::string label = "stub") : label_(std::move(label)) {}

    void answerSearch(int status, std::vector<City> cities) {
        std::lock_guard<std::mutex> lock(mutex_);
        searchStatus_ = status;
        searchCities_ = std::move(cities);
    }
    void answerScrape(const std::string& key, int status, StringMap outputs = {}) {
        std::lock_guard<std::mutex> lock(mutex_);
        outcomes_[key] = Outcome{status, std::move(outputs)};
    }

    int search(const std::string& cityName, std::vector<City>& cities) override {
        std::lock_guard<std::mutex> lock(mutex_);
        searched_.push_back(cityName);
        searchProxies_.push_back(httpProxy());
        cities.insert(cities.end(), searchCities_.begin(), searchCities_.end());
        return searchStatus_;
    }

    int scrape(const std::string& key, ScrapeReport& report) override {
        Outcome outcome;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            scraped_.push_back(key);
            scrapeProxies_.push_back(httpProxy());
            auto it = outcomes_.find(key);
            if (it != outcomes_.end()) outcome = it->second;
        }
        report.setInput("scrapedBy", label_);
        if (outcome.status != Success) return outcome.status;
        for (const auto& [name, value] : outcome.outputs) report.getOutputHashRef()[name] = value;
        report.postProcess();
        return outcome.status;
    }

    std::vector<std::string> searched() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return searched_;
    }
    std::vector<std::string> scraped() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return scraped_;
    }
    std::vector<HttpProxy> searchProxies() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return searchProxies_;
    }
    std::vector<HttpProxy> scrapeProxies() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return scrapeProxies_;
    }

private:
    std::string label_;
    mutable std::mutex mutex_;
    int searchStatus_ = Success;
    std::vector<City> searchCities_;
    std::map<std::string, Outcome> outcomes_;
    std::vector<std::string> searched_;
    std::vector<std::string> scraped_;
    std::vector<HttpProxy> searchProxies_;
    std::vector<HttpProxy> scrapeProxies_;
};

// Keeps a copy of every report handed on, from any thread.
class RecordingSink : public WeatherDataSink {
public:
    void setWeatherData(ScrapeReport& report) override {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.push_back(report);
    }
    std::vector<ScrapeReport> reports() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return reports_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<ScrapeReport> reports_;
};
