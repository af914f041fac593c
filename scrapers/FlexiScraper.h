#pragma once
// A scraper driven by two configuration texts: one for the source's city
// search page and one for its weather page. It fills host and path templates
// from the location key, fetches the page, scores every wanted chunk into the
// report and post-processes the values. The site scrapers derive from it.

#include <map>
#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "scrapers/SuperScraper.h"
#include "scrapers/scraperConfig.h"

class FlexiScraper : public SuperScraper {
public:
    FlexiScraper(const std::string& searchText, const std::string& scrapeText);
    ~FlexiScraper() override = default;

    // Fetches the search page and scores it into a scratch table; cities is
    // left untouched. Site scrapers override it.
    int search(const std::string& cityName, std::vector<SuperScraper::City>& cities) override;
    // Fetch, score and post-process; returns the fetch status (0, 3 or 5).
    int scrape(const std::string& key, ScrapeReport& report) override;

    virtual void getCities(std::map<std::string, std::string>& found, std::vector<SuperScraper::City>& cities);
    virtual bool insertCity(const std::string& key, const std::string& name,
                            std::vector<SuperScraper::City>& cities);
    virtual void cleanText(std::string& text);
    virtual void calculateTime(std::map<std::string, std::string>& out);
    virtual void setTzUsingCityName(std::map<std::string, std::string>& out);

    int fetchURL(std::string& header, std::string& page, const scraperConfig& config, const std::string& key,
                 std::map<std::string, std::string>& table, bool followRedirect);
    int fetchURLWithHostAndUri(std::string& header, std::string& page, const std::string& hostTemplate,
                               const std::string& uriTemplate, const std::string& key,
                               std::map<std::string, std::string>& table, bool followRedirect);
    bool mergeKeysIntoString(const std::string& templ, const std::string& key, const std::string& placeholder,
                             std::string& out);
    int scoreData(const std::string& page, const scraperConfig& config, std::map<std::string, std::string>& input,
                  std::map<std::string, std::string>& output);
    void setCredit(const scraperConfig& config, std::map<std::string, std::string>& table);
    // Search terms in URLs: blanks become "+", control and non-ASCII bytes are
    // percent-encoded.
    std::string encodeString(const std::string& text);

    // Post-processing of a scored page.
    int postProcessScrape(ScrapeReport& report);
    bool calcSunriseSet(float longitude, float latitude, float gmtOffset, int hour, int minute,
                        std::map<std::string, std::string>& out);
    bool setFeelsLike(std::map<std::string, std::string>& out);
    bool setHiLoFromDescription(int n, const std::string& text, std::map<std::string, std::string>& out);
    void parseTextForecast(std::map<std::string, std::string>& out);
    void processRadar(ScrapeReport& report);
    static bool isValidTemperature(int t);

    // Lists stored as key-1, key-2, ... in a report table.
    static std::string composeNumberedKey(const std::string& key, int n);
    static int getNumberedKeys(const std::map<std::string, std::string>& table, const std::string& key,
                               std::vector<std::string>& values);
    static void setNumberedKeys(std::map<std::string, std::string>& table, const std::string& key,
                                const std::vector<std::string>& values);

    const scraperConfig& searchConfig() const { return searchConfig_; }
    const scraperConfig& scrapeConfig() const { return scrapeConfig_; }

    // "http://<host>" of the radar web service; tests point it at a local server.
    static void setRadarServiceHost(const std::string& hostAndPort);
    static std::string radarServiceHost();

protected:
    scraperConfig searchConfig_;
    scraperConfig scrapeConfig_;
};
