#pragma once
// The Weather Underground pages, which also cover cities outside the United
// States. A configurable scraper that cuts and compacts the page before
// scoring, composes the wind text, derives the condition code and day or
// night from the page's own clock, sunrise and sunset, converts Canadian
// forecasts from Celsius and shortens region names. A key has three parts,
// the path of the city's page: US/CO/Denver, global/stations/94672.

#include <string>
#include <vector>

#include "model/ScrapeReport.h"
#include "scrapers/FlexiScraper.h"
#include "util/StringMap.h"

class UgScraper : public FlexiScraper {
public:
    UgScraper(const std::string& searchText, const std::string& scrapeText);
    ~UgScraper() override = default;

    // The site answers a search with a results page, with the page of the one
    // city it found, or with a redirect (no cities). The fetch status.
    int search(const std::string& cityName, std::vector<SuperScraper::City>& cities) override;
    int scrape(const std::string& key, ScrapeReport& report) override;
    // Adds the city of a link unless the link holds no key or the key is
    // already in the list.
    bool insertCity(const std::string& link, const std::string& name,
                    std::vector<SuperScraper::City>& cities) override;
    // "10:53 AM EST Tuesday October 5, 2004" becomes "October 5, 10:53 AM EST"
    // (AEST for an Australian city) before the base reads the zone; an
    // unreadable time becomes empty.
    void calculateTime(StringMap& out) override;

    // The three-part key in a link ("/US/CO/Denver.html"); false when none.
    bool urlToKey(const std::string& link, std::string& key);
    // "Denver, Colorado" -> "Denver, CO"; "Toronto, Ontario" -> "Toronto,
    // Canada"; "Perth, Western Australia" -> "Perth, Australia".
    std::string cleanCityName(const std::string& name);

    // The data keys scored for a favorite and for a full scrape.
    static const char* const kFavoriteTokens;
    static const char* const kFullTokens;

    // Keeps the part of the page that holds the city's weather: cut before
    // the precipitation chart and the personal weather stations (their bold
    // heading, also with white space inside the bold tags), and drop the
    // site's header up to the desktop-gizmo link.
    static void trimPage(std::string& page);
    // Runs of blanks and line feeds shrink to their first character; the page
    // ends at its first NUL byte.
    static void compactPage(std::string& page);
    // Whether the page's title names a search: "<title>", later "Search",
    // later "</title>", up to the first NUL byte. What the pattern
    // "[<]title[>].*Search.*[<][/]title[>]" finds, in one pass instead of a
    // scan to the end from every "<title>".
    static bool isSearchPage(const std::string& page);

private:
    static void composeWind(StringMap& out);
    static void setDayOrNight(StringMap& out);
    static void appendUnit(StringMap& out, const std::string& key, const std::string& unit);
    static void celsiusForecastToFahrenheit(StringMap& out);
};
