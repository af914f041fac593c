#include "app/RefreshTimer.h"

#include <climits>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>

#include "model/LocationManager.h"
#include "model/PreferenceKeys.h"
#include "model/ScrapeReport.h"
#include "scrapers/AggrScraper.h"
#include "scrapers/ScraperThread.h"
#include "scrapers/WeatherDataSink.h"
#include "util/CLocaleScope.h"
#include "util/Clock.h"
#include "util/ComTeskSysConfig.h"
#include "util/StopFlag.h"

namespace {

bool isStale(const Location& location, long now, int frequency) { return now - location.lastUpdate > frequency; }

}  // namespace

RefreshTimer::RefreshTimer(int seconds, RefreshTimerClient* controller, teskTimerThread* parent)
    : teskTimer("refresh", kPeriodMs, true, parent),
      weatherController_(controller),
      updateFrequency_(seconds),
      stop_(std::make_shared<StopFlag>()) {}

RefreshTimer::~RefreshTimer() { shutdown(); }

namespace {

// Whose run goes now. Never destroyed: a run left busy may still end while
// the process ends.
struct RunTurn {
    std::mutex mutex;
    std::condition_variable free;
    const RefreshTimer* holder = nullptr;
};

RunTurn& runTurn() {
    static RunTurn* const turn = new RunTurn;
    return *turn;
}

}  // namespace

bool RefreshTimer::takeTurn() {
    RunTurn& turn = runTurn();
    std::unique_lock<std::mutex> lock(turn.mutex);
    turn.free.wait(lock, [&] { return turn.holder == nullptr || runsStopped(); });
    if (runsStopped()) return false;
    turn.holder = this;
    return true;
}

void RefreshTimer::giveUpTurn() {
    RunTurn& turn = runTurn();
    {
        std::lock_guard<std::mutex> lock(turn.mutex);
        if (turn.holder != this) return;
        turn.holder = nullptr;
    }
    turn.free.notify_all();
}

int RefreshTimer::RefreshTimerDrawCallback(void*) { return 1; }

void RefreshTimer::start() { teskTimer::start(); }

void RefreshTimer::refreshAll() {
    fullRefresh_ = true;
    wakeupNow();
}

void RefreshTimer::stopRuns() {
    stop_->stop();
    // A run waiting for its turn gives up.
    RunTurn& turn = runTurn();
    { std::lock_guard<std::mutex> lock(turn.mutex); }
    turn.free.notify_all();
}

bool RefreshTimer::runsStopped() const { return stop_->isStopped(); }

bool RefreshTimer::endRunsBy(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(runStateMutex_);
    return runEnded_.wait_until(lock, deadline, [this] { return !inRun_; });
}

bool RefreshTimer::runInProgress() const {
    std::lock_guard<std::mutex> lock(runStateMutex_);
    return inRun_;
}

void RefreshTimer::releaseController() {
    // Never fired again: the timer thread would wait for the busy run first.
    stop();
    stopRuns();
    {
        std::lock_guard<std::mutex> lock(controllerMutex_);
        weatherController_ = nullptr;
    }
    // A run still under way shares nothing with later runs but the core's
    // guarded location list: they need not wait for it.
    giveUpTurn();
}

template <class Result, class Ask>
Result RefreshTimer::askController(Ask ask, Result none) {
    std::lock_guard<std::mutex> lock(controllerMutex_);
    if (weatherController_ == nullptr) return none;
    return ask(*weatherController_);
}

std::shared_ptr<LocationManager> RefreshTimer::currentLocations() {
    return askController<std::shared_ptr<LocationManager>>(
        [](RefreshTimerClient& controller) { return controller.currentLocations(); }, nullptr);
}

void RefreshTimer::setUpdateFrequency(int seconds) { updateFrequency_ = seconds; }

StringMap RefreshTimer::preferencesToStringMap(const plist::Dict& prefs) {
    StringMap map;
    for (const auto& [key, value] : prefs) {
        if (value.isString()) {
            map[key] = value.asString();
        } else if (value.isNumber()) {
            const double f = value.asReal();
            char text[64];
            if (f >= 1.0 || f <= 0.0)
                std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value.asInt()));
            else
                formatInCLocale(text, sizeof text, "%f", f);
            map[key] = text;
        }
    }
    return map;
}

StringMap RefreshTimer::setControllerPreferences() {
    std::optional<plist::Dict> prefs = handOverPreferences();
    return prefs ? preferencesToStringMap(*prefs) : StringMap();
}

std::optional<plist::Dict> RefreshTimer::handOverPreferences() {
    return askController<std::optional<plist::Dict>>(
        [this](RefreshTimerClient& controller) -> std::optional<plist::Dict> {
            // Taken and handed over under one lock: a change the main thread
            // hands over meanwhile lands after this copy, never before it.
            std::lock_guard<std::mutex> handOver(controller.preferencesHandOver());
            plist::Dict prefs = controller.preferencesSnapshot();
            applyPreferences(controller, prefs);
            return prefs;
        },
        std::nullopt);
}

void RefreshTimer::applyPreferences(RefreshTimerClient& controller, const plist::Dict& prefs) {
    const StringMap map = preferencesToStringMap(prefs);
    long minutes = 0;
    if (auto it = map.find(kUpdateFrequency); it != map.end()) minutes = std::strtol(it->second.c_str(), nullptr, 10);
    if (minutes < kShortestFrequencyMinutes) minutes = kShortestFrequencyMinutes;
    // Far beyond any sensible frequency; keeps the seconds inside an int.
    if (minutes > INT_MAX / 60) minutes = INT_MAX / 60;
    setUpdateFrequency(static_cast<int>(minutes * 60));

    std::shared_ptr<LocationManager> locations = controller.currentLocations();
    if (!locations) return;
    std::lock_guard<teskMutex> guard(controller.locationsGuard());
    controller.applyMenuPreferences(map, *locations);
}

void RefreshTimer::proxyFromAnswer(const plist::Value& answer, std::string& host, int& port) {
    host = "";
    port = 80;
    if (!answer.isArray() || answer.asArray().empty()) return;
    const plist::Array& parts = answer.asArray();
    host = parts[0].stringOr("");
    long long p = 0;
    if (parts.size() >= 2) {
        if (parts[1].isString())
            p = std::strtoll(parts[1].asString().c_str(), nullptr, 10);
        else
            p = parts[1].asInt(0);
    }
    port = (p <= 0 || p > 65535) ? 80 : static_cast<int>(p);
}

void RefreshTimer::useSystemProxy(SuperScraper& scraper, ComTeskSysConfig* config) {
    std::string host;
    int port = 80;
    proxyFromAnswer(config ? config->currentProxy() : plist::Value(), host, port);
    scraper.setHttpProxy(host, port);
    if (!config) {
        scraper.setProxyChooser({});
        return;
    }
    scraper.setProxyChooser([config](const std::string& target) {
        SuperScraper::HttpProxy proxy;
        proxyFromAnswer(config->currentProxyForHost(target), proxy.host, proxy.port);
        return proxy;
    });
}

RefreshTimer::RunSettings RefreshTimer::runSettings(const plist::Dict& prefs) {
    RunSettings settings;
    if (auto it = prefs.find(kSourcePreference); it != prefs.end() && it->second.isArray()) {
        for (const plist::Value& source : it->second.asArray()) {
            const int64_t id = source.asInt(-1);
            // The aggregating scraper reads only identifiers 0 to 6.
            if (id >= 0 && id < AggrScraper::kServiceTypes) settings.order.push_back(static_cast<int>(id));
        }
    }
    auto radar = prefs.find(kRadar);
    settings.radar = radar != prefs.end() && radar->second.isNumber() && radar->second.asInt() == 1;
    return settings;
}

void RefreshTimer::setHttpProxyForScraper() {
    ComTeskSysConfig* config = nullptr;
    scraper_ = askController<std::shared_ptr<AggrScraper>>(
        [&config](RefreshTimerClient& controller) {
            config = controller.sysConfig();
            return controller.runScraper();
        },
        nullptr);
    if (!scraper_) return;
    useSystemProxy(*scraper_, config);
    scraper_->setStopFlag(stop_);
}

void RefreshTimer::setupApplierProxy() {
    askController<bool>(
        [this](RefreshTimerClient& controller) {
            applierProxy_ = controller.applierChannel();
            sink_ = controller.reportSink();
            guard_ = &controller.locationsGuard();
            return true;
        },
        false);
}

void RefreshTimer::destroyApplierProxy() {
    applierProxy_ = MainThreadPoster();
    sink_.reset();
    scraper_.reset();
    guard_ = nullptr;
}

void RefreshTimer::postUpdateItemEnabled(bool enabled) {
    // The channel drops the call once the controller has closed it.
    RefreshTimerClient* controller =
        askController<RefreshTimerClient*>([](RefreshTimerClient& c) { return &c; }, nullptr);
    if (controller != nullptr)
        applierProxy_.post([controller, enabled] { controller->setUpdateItemEnabled(enabled); });
}

void RefreshTimer::spawnScraperThread(Threads& threads, LocationManager& manager, int index, bool isFavorite,
                                      int favIndex, const RunSettings& settings) {
    auto thread = std::make_unique<ScraperThread>(ScraperThread::ScrapeType::Location);
    ScraperThread::LocationSpec& spec = thread->getLocationSpec();
    spec.controllerProxy = nullptr;
    spec.menuController = sink_.get();
    spec.locationManager = &manager;
    spec.withGui = false;

    ScrapeReport report;
    if (isFavorite) {
        report.setInput("isFavorite", "1");
        report.setInput("favIndex", std::to_string(favIndex));
    }
    report.setInput("radar", settings.radar ? "1" : "0");

    // The manager's own entry, so the names and keys found reach the core's list.
    Location& location = manager.locationAtIndex(static_cast<unsigned>(index));
    std::string nameBefore;
    {
        std::lock_guard<teskMutex> guard(*guard_);
        nameBefore = location.name;
    }
    const bool started = scraper_ != nullptr &&
                         scraper_->startScrape(thread.get(), location, settings.order,
                                               &RefreshTimer::RefreshTimerDrawCallback, report, guard_);
    if (!started) std::cout << "startScrape failed" << std::endl;
    mergeIntoCurrentList(manager, nameBefore, spec.location);
    threads.push_back(Spawned{std::move(thread), nameBefore});
}

void RefreshTimer::mergeIntoCurrentList(const LocationManager& runList, const std::string& nameBefore,
                                        const Location& found) {
    std::shared_ptr<LocationManager> current = currentLocations();
    // The run's own list got them from the walk already.
    if (!current || current.get() == &runList || found.name.empty()) return;
    std::lock_guard<teskMutex> guard(*guard_);
    for (Location& location : current->locationList()) {
        if (location.name != nameBefore && location.name != found.name) continue;
        location.name = found.name;
        // Keys the user's list already holds stay; only new ones are added.
        for (const auto& [service, key] : found.serviceKeys) location.serviceKeys.try_emplace(service, key);
    }
}

void RefreshTimer::joinAndDeleteThreads(Threads& threads) {
    for (Spawned& spawned : threads) {
        spawned.thread->join();
        const std::string name = spawned.thread->getLocationSpec().location.name;
        const long now = static_cast<long>(Clock::now());
        // The core's manager of this moment: it may have been replaced during
        // the run, and may still know the city by the name it had before.
        std::shared_ptr<LocationManager> current = currentLocations();
        if (current) {
            std::lock_guard<teskMutex> guard(*guard_);
            for (Location& location : current->locationList())
                if (location.name == name || location.name == spawned.nameBefore) location.lastUpdate = now;
        }
        spawned.thread.reset();
    }
    threads.clear();
}

void RefreshTimer::fullRefresh(LocationManager& manager, const RunSettings& settings, Threads& threads) {
    postUpdateItemEnabled(false);
    if (manager.numLocations() == 0) {
        // Nothing to refresh: the menu asks the user to choose a city instead
        // of showing its scraping animation for ever.
        if (sink_ && !runsStopped()) {
            ScrapeReport report;
            report.setInput("cityName", "");
            report.setStatus(SuperScraper::NoScraper);
            sink_->setWeatherData(report);
        }
        return;
    }
    int primary = 0;
    std::vector<int> favorites;
    {
        std::lock_guard<teskMutex> guard(*guard_);
        primary = static_cast<int>(manager.primaryIndex());
        for (int i = manager.nextFavoriteIndexAtOrAfter(0); i >= 0;
             i = manager.nextFavoriteIndexAtOrAfter(static_cast<unsigned>(i) + 1))
            favorites.push_back(i);
    }
    spawnScraperThread(threads, manager, primary, false, 0, settings);
    for (size_t ordinal = 0; ordinal < favorites.size(); ++ordinal)
        spawnScraperThread(threads, manager, favorites[ordinal], true, static_cast<int>(ordinal), settings);
}

void RefreshTimer::normalRun(LocationManager& manager, const RunSettings& settings, Threads& threads) {
    if (manager.numLocations() == 0) return;
    const long now = static_cast<long>(Clock::now());
    const int frequency = updateFrequency_.load();
    int chosen = -1, chosenOrdinal = -1;
    bool primary = false;
    {
        std::lock_guard<teskMutex> guard(*guard_);
        if (isStale(manager.primaryLocation(), now, frequency)) {
            chosen = static_cast<int>(manager.primaryIndex());
            primary = true;
        } else {
            long oldest = 0;
            int ordinal = 0;
            for (int i = manager.nextFavoriteIndexAtOrAfter(0); i >= 0;
                 i = manager.nextFavoriteIndexAtOrAfter(static_cast<unsigned>(i) + 1), ++ordinal) {
                const Location& favorite = manager.locationAtIndex(static_cast<unsigned>(i));
                if (!isStale(favorite, now, frequency)) continue;
                if (chosen < 0 || favorite.lastUpdate < oldest) {
                    chosen = i;
                    chosenOrdinal = ordinal;
                    oldest = favorite.lastUpdate;
                }
            }
        }
    }
    if (chosen < 0) return;
    postUpdateItemEnabled(false);
    spawnScraperThread(threads, manager, chosen, !primary, primary ? 0 : chosenOrdinal, settings);
}

void RefreshTimer::go() {
    // The owner's deadline-bounded wait looks at this.
    struct RunMark {
        RefreshTimer& timer;
        explicit RunMark(RefreshTimer& t) : timer(t) {
            std::lock_guard<std::mutex> lock(timer.runStateMutex_);
            timer.inRun_ = true;
        }
        ~RunMark() {
            {
                std::lock_guard<std::mutex> lock(timer.runStateMutex_);
                timer.inRun_ = false;
            }
            timer.runEnded_.notify_all();
        }
    } mark(*this);
    runBody();
}

void RefreshTimer::runBody() {
    // A run after stopRuns() would only start fetches that fail at once.
    if (!takeTurn()) return;
    struct Turn {
        RefreshTimer& timer;
        ~Turn() { timer.giveUpTurn(); }
    } turn{*this};
    // Taken and cleared in one step: a refreshAll() that arrives from here on
    // asks for the next run.
    const bool full = fullRefresh_.exchange(false);
    std::optional<plist::Dict> prefs = handOverPreferences();
    if (!prefs) return;
    const RunSettings settings = runSettings(*prefs);
    setHttpProxyForScraper();
    setupApplierProxy();
    if (guard_ == nullptr) {
        // The controller let go meanwhile: nothing is left to refresh for.
        destroyApplierProxy();
        return;
    }

    // The run works on the manager of its start; a replacement by the main
    // thread meanwhile frees nothing under it.
    std::shared_ptr<LocationManager> manager = currentLocations();
    Threads threads;
    if (manager) {
        if (full)
            fullRefresh(*manager, settings, threads);
        else
            normalRun(*manager, settings, threads);
    }
    joinAndDeleteThreads(threads);
    postUpdateItemEnabled(true);
    destroyApplierProxy();
}
