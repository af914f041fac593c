#pragma once
// Decides when which city is scraped. A named timer ("refresh") that wakes
// every 225 seconds on a short-lived thread of its own. Each run re-reads the
// preferences into the menu controller and picks up the system proxy, then
// refreshes either every location at once (after refreshAll()) or at most one
// stale location: the primary city when it is stale, otherwise the favorite
// updated longest ago among the stale ones. It starts one scraper thread per
// chosen location and joins them all before it returns; meanwhile the menu's
// update item is disabled on the main thread.
//
// The runs of every refresh timer in the process take turns, one at a time.
// The main thread never waits for a run: a run only posts to it.
//
// A run may be busy for long (a hostile page can keep a scraper thread
// computing), so its owner waits for it only up to a deadline when it tears
// the timer down (endRunsBy()). A run keeps shared ownership of the scraper
// it works with and, once the owner has let go (releaseController()), calls
// the owner no more and gives up its turn, so the runs of the next owner
// need not wait for it; the timer itself must then outlive the run (see
// StrayRuns).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/MainLoop.h"
#include "util/StringMap.h"
#include "util/plist/Value.h"
#include "util/teskThread.h"
#include "util/teskTimer.h"

class AggrScraper;
class ComTeskSysConfig;
class Location;
class LocationManager;
class ScraperThread;
class StopFlag;
class SuperScraper;
class WeatherDataSink;

// What a refresh run needs of the weather controller that owns the timer.
class RefreshTimerClient {
public:
    virtual ~RefreshTimerClient() = default;

    // A copy of the core's preferences.
    virtual plist::Dict preferencesSnapshot() = 0;
    // The core's current location manager; the run keeps it alive, so the
    // main thread may replace it meanwhile.
    virtual std::shared_ptr<LocationManager> currentLocations() = 0;
    // Guards the entries of the location managers (names, keys, times)
    // between the main thread and the runs; held only briefly. It belongs to
    // the application core, which outlives every run.
    virtual teskMutex& locationsGuard() = 0;
    // The system proxy settings, the core's too; null when there are none.
    virtual ComTeskSysConfig* sysConfig() = 0;
    virtual AggrScraper* getScraper() = 0;
    // The scraper for one run, which the run keeps alive. The default shares
    // no ownership: for owners whose scraper outlives the timer.
    virtual std::shared_ptr<AggrScraper> runScraper() { return {std::shared_ptr<AggrScraper>(), getScraper()}; }
    // Where the scraper threads hand their reports (the menu controller's
    // gate, which drops reports once the controller is gone); may be null.
    virtual std::shared_ptr<WeatherDataSink> reportSink() = 0;
    // The menu controller's setPreferences with these values and locations,
    // followed by its refreshNow.
    virtual void applyMenuPreferences(const StringMap& prefs, const LocationManager& locations) = 0;
    // The controller's main-thread channel, and what it runs there.
    virtual MainThreadPoster applierChannel() = 0;
    virtual void setUpdateItemEnabled(bool enabled) = 0;

    // Held from taking the preferences to handing them to the menu
    // controller, by the runs and by the owner when it hands them over
    // itself, so that a run's copy never lands after a newer one. Held only
    // briefly; take it before the location guard.
    std::mutex& preferencesHandOver() { return preferencesHandOver_; }

private:
    std::mutex preferencesHandOver_;
};

class RefreshTimer : public teskTimer {
public:
    static constexpr int kPeriodMs = 225000;
    static constexpr int kShortestFrequencyMinutes = 15;

    // `seconds` is the stale age until the first run sets it from the preferences.
    RefreshTimer(int seconds, RefreshTimerClient* controller, teskTimerThread* parent = nullptr);
    ~RefreshTimer() override;

    void start() override;
    // The next run refreshes every location, and it comes at once.
    virtual void refreshAll();
    // Ends the fetches of a run under way at once, and keeps any later run
    // from fetching: the owner is about to tear the timer down. A stopped run
    // hands no report on. Any thread may call it.
    void stopRuns();
    bool runsStopped() const;
    // Waits until no run is under way, at most until `deadline`; false when
    // a run is still busy then. Call after stopRuns().
    bool endRunsBy(std::chrono::steady_clock::time_point deadline);
    // From now on no run calls the controller (a call in progress is waited
    // for; such calls are short). Stops the timer and its runs too. The
    // owner calls it before it goes away while a run may still be busy.
    void releaseController();
    bool runInProgress() const;
    virtual void setUpdateFrequency(int seconds);
    int updateFrequency() const { return updateFrequency_.load(); }
    // Hands the preferences and locations to the menu controller and takes
    // the update frequency from them; the preferences as a string map.
    virtual StringMap setControllerPreferences();

    // The preferences as strings: a number is "%d" of its integer value when
    // it is at least 1 or at most 0, else "%f"; a string as it is; arrays,
    // dictionaries and other kinds are left out.
    static StringMap preferencesToStringMap(const plist::Dict& prefs);
    // The proxy host and port a proxy answer gives (["host", port], ["host"]
    // or none): no proxy is "" and 80, a missing or unusable port is 80.
    static void proxyFromAnswer(const plist::Value& answer, std::string& host, int& port);
    // Points the scraper at the system proxy: the one in force now, and for
    // each fetch the one for its own host, so that the hosts the system
    // exempts are fetched directly. Without a configuration: no proxy.
    static void useSystemProxy(SuperScraper& scraper, ComTeskSysConfig* config);

    // The per-report callback kept with each scraper thread; never called.
    static int RefreshTimerDrawCallback(void* thread);


protected:
    void go() override;

private:
    // A scraper thread of this run, with the name its location had when it
    // was spawned (the walk for source keys may shorten it).
    struct Spawned {
        std::unique_ptr<ScraperThread> thread;
        std::string nameBefore;
    };
    using Threads = std::vector<Spawned>;
    // What every scrape of a run takes from the preferences.
    struct RunSettings {
        std::vector<int> order;  // the source order, known sources only
        bool radar = false;
    };
    static RunSettings runSettings(const plist::Dict& prefs);

    // Takes the controller's preferences and hands them to its menu
    // controller in one step (see preferencesHandOver()); the preferences
    // taken, or none once the controller was released.
    std::optional<plist::Dict> handOverPreferences();
    // The update frequency and the menu controller's preferences from prefs.
    void applyPreferences(RefreshTimerClient& controller, const plist::Dict& prefs);
    void setHttpProxyForScraper();
    void setupApplierProxy();
    void destroyApplierProxy();
    void postUpdateItemEnabled(bool enabled);
    // The controller's answer through `ask`, or `none` once it was released.
    template <class Result, class Ask>
    Result askController(Ask ask, Result none);
    std::shared_ptr<LocationManager> currentLocations();
    void runBody();
    // The turn among the runs of every refresh timer: waits for it; false
    // once the runs are stopped. Giving it up does nothing when this timer
    // does not hold it.
    bool takeTurn();
    void giveUpTurn();
    void spawnScraperThread(Threads& threads, LocationManager& manager, int index, bool isFavorite, int favIndex,
                            const RunSettings& settings);
    void joinAndDeleteThreads(Threads& threads);
    // What the walk found for a location of the run's list (a shortened
    // name, new source keys) goes into the core's list of this moment too,
    // which the main thread may have replaced meanwhile; matched by name.
    void mergeIntoCurrentList(const LocationManager& runList, const std::string& nameBefore, const Location& found);
    void fullRefresh(LocationManager& manager, const RunSettings& settings, Threads& threads);
    void normalRun(LocationManager& manager, const RunSettings& settings, Threads& threads);

    std::mutex controllerMutex_;  // held while a run calls the controller
    RefreshTimerClient* weatherController_;  // null once released
    std::atomic<bool> fullRefresh_{false};
    MainThreadPoster applierProxy_;  // valid during one run
    std::shared_ptr<WeatherDataSink> sink_;  // valid during one run
    std::shared_ptr<AggrScraper> scraper_;  // valid during one run
    teskMutex* guard_ = nullptr;  // the core's location guard, valid during one run
    mutable std::mutex runStateMutex_;
    std::condition_variable runEnded_;
    bool inRun_ = false;
    std::atomic<int> updateFrequency_;
    const std::shared_ptr<StopFlag> stop_;
};
