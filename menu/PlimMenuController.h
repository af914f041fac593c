#pragma once
// The single owner of the weather shown in the status menu. Scraper threads
// hand it finished reports; it keeps the primary city's last good report
// ("main") and each favorite's ("fav-0".."fav-5"), remembers whether the last
// primary update failed and why, and on every change rebuilds the menu lines
// and the menu-bar icon and title. Every effect goes through the menu facade
// to the main thread.
//
// Locks: refreshLock_ serialises rebuilds and guards the line list;
// reportsLock_ guards the reports, the flags and the preference and location
// copies. refreshLock_ is always taken first. A rebuild works on copies taken
// under reportsLock_, so a report or preference replaced meanwhile is never
// seen half-done.

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "menu/PlimMenuItem.h"
#include "model/ScrapeReport.h"
#include "scrapers/WeatherDataSink.h"
#include "util/StringMap.h"
#include "util/teskThread.h"

class IconRefresher;
class LocationManager;
class PlimMenuWrapper;
class menuIconTimer;

// The local feed server the controller feeds when one is attached.
class PlimFeedServer {
public:
    virtual ~PlimFeedServer() = default;
    // Starts the server's listening thread.
    virtual bool startServer() = 0;
    virtual void clearData() = 0;
    virtual void enableAdvance() = 0;
    virtual void setHash(const std::string& city, const StringMap& table) = 0;
};

class PlimMenuController : public WeatherDataSink {
public:
    static const std::string smaller_;            // "font_size" value of the smaller title font
    static const std::string dataFromKey_;        // "datafrom"
    static const std::string radarKey_;           // "radar"
    static const std::string dewpointKey_;        // "dewpoint"
    static const std::string feelsLikeKey_;       // "feels_like"
    static const std::string sunriseSunsetKey_;   // "sunrise_sunset"
    static const std::string visibilityKey_;      // "visibility"
    static const std::string barometerKey_;       // "barometer"
    static const std::string windKey_;            // "wind"
    static const std::string humidityKey_;        // "humidity"
    static const std::string favReport_;          // "fav"
    static const std::string primaryReport_;      // "main"

    // Takes the facade singleton (made before the controller) and creates the
    // two timers, neither started.
    PlimMenuController();
    PlimMenuController(const PlimMenuController&) = delete;
    PlimMenuController& operator=(const PlimMenuController&) = delete;
    // Closes the report gate (waiting for a report being taken), stops the
    // timers, removes the controller's lines from the top of the menu and
    // deletes an attached feed server.
    ~PlimMenuController() override;

    // Starts the scraping animation and an attached feed server.
    void initMenu();
    // Copies the preferences and the location list; the next rebuild drops
    // the reports of favorites that were removed, reordered or renamed.
    void setPreferences(const StringMap& prefs, const LocationManager* locations);
    // Takes one finished scrape and rebuilds the menu.
    void setWeatherData(ScrapeReport& report) override;
    // Rebuilds every line, the icon and the title from the stored reports.
    void refresh(bool unused = false);
    // Re-renders only the menu-bar icon and title.
    void iconRefresh(bool unused = false);
    // A full rebuild at once on the timer thread (once the first report came).
    void refreshNow();
    void startScrapingStatus();
    void stopScrapingStatus();
    void setError(std::string error);

    // Gives the controller a feed server to feed (owned from now on).
    void attachServer(std::unique_ptr<PlimFeedServer> server);

    // What scraper threads should hold instead of the controller itself: it
    // passes reports on while the controller lives and drops them after its
    // destruction began, so no report reaches a deleted controller.
    std::shared_ptr<WeatherDataSink> reportGate() const;

    // The names of the stored reports ("main", "fav-N"), in name order.
    std::vector<std::string> reportNames() const;

    // The warning level of a display table (0 none, 1 watch, 2 warning), with
    // its type and severity texts.
    static int getWarningInfo(const StringMap& display, std::string& type, std::string& severity);
    // The present minute of the city's day (UTC shifted by "gmtOffset" hours)
    // and its sunrise and sunset minutes, from the report's display table.
    static void getTimeInfo(const ScrapeReport& report, int& minuteOfDay, int& sunrise, int& sunset);

protected:
    // Item building; only inside refresh and iconRefresh, under refreshLock_.
    PlimMenuItem* findItem(const std::string& key, int& index);
    void addItem(PlimMenuItem item);
    PlimMenuItem* itemByKey(const std::string& key, int& index, bool checkPreference);
    void buildMenu();
    // The error line; `city` names the city the failure is about (the tool
    // tip shows it with the line's text).
    void setErrorItem(PlimMenuItem::Error code, const std::string& city);
    void refreshPrimaryIcon(const ScrapeReport& report);
    void refreshPrimary(const ScrapeReport& report);
    void refreshFavorite(int index, const ScrapeReport& report);
    void setSimpleCondition(const StringMap& display, const std::string& key);
    void setRadar(const ScrapeReport& report);
    void setForecast(const StringMap& display);
    virtual void prepareMenu(const ScrapeReport&) {}

private:
    class ReportGate;

    // What a rebuild reads, copied under reportsLock_.
    struct Snapshot {
        StringMap preferences;
        std::optional<ScrapeReport> primary;
        std::vector<ScrapeReport> favorites;  // fav-0 upward, up to the first missing
        bool lastUpdateFailed = false;
        int primaryStatus = 0;
        std::string failedCity;
    };
    Snapshot takeSnapshot(bool withFavorites);
    // Under reportsLock_: drops favorite reports that no longer match the
    // favorites of the location list.
    void pruneFavoriteReports();
    // The rebuild's preferences: the icon set and, in free mode, grey icons.
    void usePreferences(StringMap preferences);
    void showFailureIcon();
    void removeAllItems();
    StringMap displayable(const ScrapeReport& report) const;
    std::string preference(const std::string& key) const;

    PlimMenuWrapper* wrapper_;
    std::unique_ptr<LocationManager> locations_;
    std::unique_ptr<IconRefresher> iconRefresher_;
    std::unique_ptr<menuIconTimer> scrapingTimer_;
    std::map<std::string, ScrapeReport> reports_;
    bool lastUpdateFailed_ = false;
    bool advanced_ = false;
    bool favoritesChanged_ = false;
    int primaryStatus_ = 0;
    std::string failedCity_;  // the city of the last failed primary scrape
    teskMutex refreshLock_;
    mutable teskMutex reportsLock_;
    std::deque<PlimMenuItem> items_;
    StringMap preferences_;
    std::unique_ptr<PlimFeedServer> server_;

    StringMap rebuildPreferences_;  // the preferences of the rebuild in progress (refreshLock_)
    // A full rebuild was asked for and has not started yet.
    std::atomic<bool> refreshPending_{false};
    std::shared_ptr<ReportGate> gate_;
};
