#pragma once
// The result code of a scrape, kept in a scrape report. The scraper base
// takes these names into its own scope as SuperScraper::Status,
// SuperScraper::Success, ...; they live here so that the report and the
// scrapers need not include each other.

namespace ScrapeStatus {

enum Status : int {
    Success = 0,      // the page was fetched (and scored)
    // 1 and 2 are reserved: no scraper returns them, the menu still shows
    // them as a connection error.
    FetchFailed = 3,  // the page could not be fetched
    EmptyKey = 4,     // no usable location key, or a page without any weather
    NoHostOrUri = 5,  // the configuration gives no host or no path
    NoScraper = 6,    // no source has a key for the location
};

}  // namespace ScrapeStatus
