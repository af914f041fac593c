#pragma once
// The National Weather Service source. Its city search answers with a list of
// links, a redirect to a forecast page, or a redirect to a city-search page;
// every link is turned into a location key of one of four forms:
//
//   ifps            "ifps", region, city name, state, site      (MapClick page)
//   total_forecast  "total_forecast", name, region, office, zone, county
//   ll              "ll", name, region, site, latitude, longitude
//   zone            zone, county, city                           (data/forecasts page)
//
// The scrape fetches the forecast page of the key's form with that form's
// configuration, adds the station's decoded observation report, maps the
// condition text to an icon code and picks the first severe-weather warning.

#include <map>
#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "scrapers/FlexiScraper.h"
#include "scrapers/scraperConfig.h"

class NwsScraper : public FlexiScraper {
public:
    // The domain of the service's forecast pages as a pattern (each dot
    // written "[.]") and its first label; the link patterns are built on them.
    static const char* const kDomainPattern;
    static const char* const kDomainFirstLabel;
    // The server of the decoded station observation reports.
    static const char* const kObservationHost;

    // The texts of the configurations "n1" (city search), "n2" (point-forecast
    // and zone pages, and the site rules), "n3" (total-forecast pages) and
    // "n4" (latitude/longitude pages).
    NwsScraper(const std::string& searchText, const std::string& scrapeText, const std::string& totalForecastText,
               const std::string& latLonText);
    ~NwsScraper() override = default;

    int search(const std::string& cityName, std::vector<SuperScraper::City>& cities) override;
    int scrape(const std::string& key, ScrapeReport& report) override;

    // Search and keys.
    int gatherSearchResults(const std::string& pageUrl, std::string& page, std::vector<SuperScraper::City>& cities);
    bool urlToKey(const std::string& url, const std::string& name, std::string& key, const std::string& baseUrl);
    bool keyToCityName(const std::string& key, std::string& name);
    bool insertCityFromKey(const std::string& key, std::vector<SuperScraper::City>& cities);
    static std::string capitalizeString(const std::string& text, bool allUpper);
    static std::string unscreamifyText(const std::string& text);

    // Scrape helpers.
    bool decodeObservations(std::string& station, std::map<std::string, std::string>& output);
    // Reads the station report's text into the output: fields of "Label: value"
    // lines, visibility and the coordinates on the first line. False when the
    // stop flag ended it.
    bool readObservationText(const std::string& text, std::map<std::string, std::string>& output);
    // A report line "Label: value": the label runs from the line start (or
    // from just after the colon before it) to the first colon followed by a
    // blank; the value is the rest after that ": ". The leftmost match of
    // "([^:]*)[:] (.*)", found in one pass. False when the line has no ": ".
    static bool splitObservationLine(const std::string& line, std::string& label, std::string& value);
    bool getTimezoneAndDate(std::map<std::string, std::string>& output, int& gmtOffset, int& hour, int& minute);
    int convertTimezoneToGMTOffset(const std::string& zone);
    static float convertLongLatToFloat(const std::string& text);
    static std::string matchCondition(const scraperConfig& config, const std::string& text);
    // The page's humidity digits as "69%".
    static std::string cleanHumidity(const std::string& text);
    // A barometer reading in inches ("29.9", '30.12"') or millibars
    // ("1012.5") as inches with the inch mark ('29.9"', '29.90"').
    static std::string cleanBarometer(const std::string& text);

    const scraperConfig& totalForecastConfig() const { return totalForecastConfig_; }
    const scraperConfig& latLonConfig() const { return latLonConfig_; }

private:
    // The ll key of a city-search link: follows the link to the page that
    // names the site and coordinates, and asks for the state when the name
    // has none.
    bool latLonUrlToKey(const std::string& url, std::string& key, const std::string& baseUrl);
    // Appends ", <state>" to name when the state service knows the place.
    bool appendStateOf(const std::string& latitude, const std::string& longitude, std::string& name);
    // Fetches a page through the scraper's proxy with a 5-second time-out.
    bool fetchPage(const std::string& url, bool followRedirect, std::string& header, std::string& page);
    void setWarning(std::map<std::string, std::string>& output);

    scraperConfig totalForecastConfig_;
    scraperConfig latLonConfig_;
};
