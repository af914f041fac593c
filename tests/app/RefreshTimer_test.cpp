#include "app/RefreshTimer.h"
#include "app/StrayRuns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/LocationManager.h"
#include "scrapers/AggrScraper.h"
#include "scrapers/FlexiScraper.h"
#include "scrapers/ScraperThreadStubs.h"
#include "support/CaptureStream.h"
#include "support/CommaLocale.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"
#include "support/TempDir.h"
#include "util/Clock.h"
#include "util/ComTeskSysConfig.h"

namespace {

constexpr time_t kNow = 1796770380;  // 2026-12-08 22:53 UTC

Location city(const std::string& name, int status, long lastUpdate = 0) {
    Location location;
    location.name = name;
    location.status = status;
    std::string key;
    SuperScraper::joinKey({"springfield", "KSPI"}, key);
    location.serviceKeys["nws"] = key;
    location.lastUpdate = lastUpdate;
    return location;
}

// A weather controller around the real aggregating scraper with the test
// site as its one source, reached through the proxy setting.
class FakeController : public RefreshTimerClient {
public:
    FakeController(int proxyPort, std::vector<Location> list)
        : config_(std::make_shared<EnvironmentSysConfigSource>([proxyPort](const std::string& name) {
              if (name == "http_proxy") return std::optional<std::string>("http://127.0.0.1:" + std::to_string(proxyPort));
              return std::optional<std::string>();
          })),
          locations_(std::make_shared<LocationManager>(list)) {
        config_.createSession(ComTeskSysConfig::kDynamicStoreSession);
        scraper_.registerScraper(AggrScraper::Nws, std::make_unique<FlexiScraper>(fixtureText("flexi/search.conf"),
                                                                                  fixtureText("flexi/weather.conf")));
    }

    plist::Dict preferencesSnapshot() override {
        plist::Dict prefs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            prefs = prefs_;
        }
        if (onSnapshot) onSnapshot();
        return prefs;
    }
    // The main thread's side: a new value, handed over as the owner does.
    void pushPreference(const std::string& key, plist::Value value) {
        std::lock_guard<std::mutex> handOver(preferencesHandOver());
        plist::Dict prefs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            prefs_[key] = std::move(value);
            prefs = prefs_;
        }
        std::lock_guard<teskMutex> guard(guard_);
        applyMenuPreferences(RefreshTimer::preferencesToStringMap(prefs), *locations_);
    }
    std::shared_ptr<LocationManager> currentLocations() override {
        std::lock_guard<std::mutex> lock(mutex_);
        // The main thread replacing the list at this point of a run.
        if (++locationsAsked_ == replaceAtAsk && replacement) locations_ = replacement;
        return locations_;
    }
    teskMutex& locationsGuard() override { return guard_; }
    ComTeskSysConfig* sysConfig() override { return &config_; }
    AggrScraper* getScraper() override { return &scraper_; }
    std::shared_ptr<WeatherDataSink> reportSink() override { return sink; }
    void applyMenuPreferences(const StringMap& prefs, const LocationManager& locations) override {
        std::unique_lock<std::mutex> lock(mutex_);
        applied_.push_back(prefs);
        appliedLocations = locations.numLocations();
        lock.unlock();
        if (onApply) onApply();
    }
    MainThreadPoster applierChannel() override { return channel.poster(); }
    void setUpdateItemEnabled(bool enabled) override {
        EXPECT_TRUE(MainLoop::instance().isMainThread());
        updateItem.push_back(enabled);
    }

    AggrScraper& scraper() { return scraper_; }
    int locationsAsked() {
        std::lock_guard<std::mutex> lock(mutex_);
        return locationsAsked_;
    }
    std::vector<StringMap> appliedPrefs() {
        std::lock_guard<std::mutex> lock(mutex_);
        return applied_;
    }
    Location location(const std::string& name) {
        std::lock_guard<teskMutex> guard(guard_);
        for (const Location& l : locations_->locationList())
            if (l.name == name) return l;
        return {};
    }
    // Waits on the main loop until the run has re-enabled the update item.
    bool waitForRunEnd() {
        return MainLoop::instance().runUntil([&] { return !updateItem.empty() && updateItem.back(); }, 10000);
    }

    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
    MainThreadChannel channel;
    std::vector<bool> updateItem;  // main thread only
    int appliedLocations = -1;
    std::function<void()> onApply;  // runs on the run's thread
    std::function<void()> onSnapshot;  // likewise, after the copy is taken
    std::shared_ptr<LocationManager> replacement;
    int replaceAtAsk = -1;

private:
    int locationsAsked_ = 0;
    std::vector<StringMap> applied_;
    ComTeskSysConfig config_;
    AggrScraper scraper_;
    std::mutex mutex_;
    teskMutex guard_;
    plist::Dict prefs_{{"update_frequency", plist::Value(5)},
                       {"source_pref", plist::Value(plist::Array{plist::Value(1), plist::Value(5)})},
                       {"radar", plist::Value(false)},
                       {"units", plist::Value(1)}};
    std::shared_ptr<LocationManager> locations_;
};

// A source that computes until released, heeding no stop request: a page
// that keeps a scraper thread busy.
class BusyScraper : public SuperScraper {
public:
    int search(const std::string&, std::vector<City>&) override { return Success; }
    int scrape(const std::string&, ScrapeReport& report) override {
        entered = true;
        volatile unsigned long work = 0;
        while (!released.load()) work = work + 1;
        report.getOutputHashRef()["temperature"] = "72";
        return Success;
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};
};

// Runs one pass on the calling thread, as the timer's own thread would.
class RunnableTimer : public RefreshTimer {
public:
    using RefreshTimer::RefreshTimer;
    void runOnce() { go(); }
};

// One pass over a list, full or normal, that has handed on what it found.
struct OnePass {
    OnePass(int proxyPort, std::vector<Location> list, bool full, int frequency = 1800)
        : controller(proxyPort, std::move(list)), timer(frequency, &controller) {
        if (full) timer.refreshAll();
        timer.runOnce();
    }
    std::vector<ScrapeReport> reports() { return controller.sink->reports(); }

    FakeController controller;
    RunnableTimer timer;
};

class RefreshTimerTest : public ::testing::Test {
protected:
    RefreshTimerTest() {
        MainLoop::instance();
        server.mapHost("weather.example.com", "flexi");
        setenv("HOME", home.path().c_str(), 1);
        Clock::pin(kNow);
    }
    ~RefreshTimerTest() override { Clock::unpin(); }

    FastHttp fast;
    FixtureServer server;
    TempDir home;
};

}  // namespace

TEST_F(RefreshTimerTest, FullRefreshScrapesPrimaryAndFavoritesThroughTheProxy) {
    // Austin favorite, Boston primary, Denver favorite, Elgin neither.
    FakeController controller(server.port(), {city("Austin", Location::kFavorite, 100), city("Boston", Location::kPrimary, 100),
                                              city("Denver", Location::kFavorite, 100), city("Elgin", Location::kPlain, 100)});
    RefreshTimer timer(1800, &controller);
    EXPECT_EQ(timer.updateFrequency(), 1800);
    timer.start();
    timer.refreshAll();
    ASSERT_TRUE(controller.waitForRunEnd());
    EXPECT_EQ(controller.updateItem, (std::vector<bool>{false, true}));

    std::map<std::string, ScrapeReport> reports;
    for (ScrapeReport& report : controller.sink->reports()) reports[report.getInputHashRef()["cityName"]] = report;
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports["Boston"].getInputHashRef().count("isFavorite"), 0u);
    EXPECT_EQ(reports["Austin"].getInputHashRef()["isFavorite"], "1");
    EXPECT_EQ(reports["Austin"].getInputHashRef()["favIndex"], "0");
    // The favorite number is the ordinal among favorites, not the list position.
    EXPECT_EQ(reports["Denver"].getInputHashRef()["favIndex"], "1");
    for (auto& [name, report] : reports) {
        EXPECT_EQ(report.getStatus(), SuperScraper::Success) << name;
        EXPECT_EQ(report.getOutputHashRef()["temperature"], "28") << name;
        EXPECT_EQ(report.getInputHashRef()["radar"], "0");
        EXPECT_EQ(controller.location(name).lastUpdate, kNow) << name;
    }
    EXPECT_EQ(controller.location("Elgin").lastUpdate, 100);
    EXPECT_EQ(server.requestCount(), 3u);  // every page through the proxy
    EXPECT_EQ(server.lastRequest().target, "http://weather.example.com/current/springfield.html?station=KSPI");

    // The preferences reached the menu controller; 5 minutes count as 15.
    ASSERT_FALSE(controller.appliedPrefs().empty());
    EXPECT_EQ(controller.appliedPrefs().back().at("update_frequency"), "5");
    EXPECT_EQ(controller.appliedLocations, 4);
    EXPECT_EQ(timer.updateFrequency(), 900);
}

TEST_F(RefreshTimerTest, ARunsCopyOfThePreferencesNeverLandsAfterANewerOne) {
    FakeController controller(server.port(), {city("Boston", Location::kPrimary, kNow)});
    RunnableTimer timer(1800, &controller);
    // The run has taken its copy (units 1) and is held there while the main
    // thread hands over units 0.
    std::mutex mutex;
    std::condition_variable changed;
    bool copied = false, release = false;
    controller.onSnapshot = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        copied = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
    };
    std::thread run([&] { timer.runOnce(); });
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return copied; }));
    }
    std::atomic<bool> pushed{false};
    std::thread mainSide([&] {
        controller.pushPreference("units", plist::Value(0));
        pushed = true;
    });
    // The hand-over waits for the run's: the run is held, so nothing is applied yet.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(pushed.load());
    EXPECT_TRUE(controller.appliedPrefs().empty());
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    changed.notify_all();
    mainSide.join();
    run.join();
    const std::vector<StringMap> applied = controller.appliedPrefs();
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[0].at("units"), "1");
    EXPECT_EQ(applied[1].at("units"), "0");  // the newer one last
}

TEST_F(RefreshTimerTest, NormalRunsPickOneStaleLocation) {
    const struct {
        std::vector<Location> list;
        int frequency;
        std::string picked;  // empty: nothing is stale
    } cases[] = {
        // A stale primary wins however stale the favorites are.
        {{city("Austin", Location::kFavorite, 0), city("Boston", Location::kPrimary, kNow - 901)}, 1800, "Boston"},
        // Equally stale favorites: the earlier in the list; a fresher stale one loses.
        {{city("Austin", Location::kFavorite, 500), city("Boston", Location::kPrimary, kNow),
          city("Chicago", Location::kFavorite, 300), city("Denver", Location::kFavorite, 300)}, 1800, "Chicago"},
        // 900 s is the limit for 5 minutes: no fetch, but the preferences are read again.
        {{city("Boston", Location::kPrimary | Location::kFavorite, kNow - 900)}, 60, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picked);
        const size_t before = server.requestCount();
        OnePass pass(server.port(), c.list, false, c.frequency);
        ASSERT_TRUE(pass.controller.waitForRunEnd());
        EXPECT_EQ(pass.controller.updateItem, (c.picked.empty() ? std::vector<bool>{true} : std::vector<bool>{false, true}));
        const std::vector<ScrapeReport> reports = pass.reports();
        ASSERT_EQ(reports.size(), c.picked.empty() ? 0u : 1u);
        for (const ScrapeReport& r : reports) EXPECT_EQ(r.getInputHashRef().at("cityName"), c.picked);
        EXPECT_EQ(server.requestCount() - before, reports.size());
        for (const Location& l : c.list)
            EXPECT_EQ(pass.controller.location(l.name).lastUpdate, l.name == c.picked ? kNow : l.lastUpdate) << l.name;
        EXPECT_FALSE(pass.controller.appliedPrefs().empty());
    }
}

TEST_F(RefreshTimerTest, FailuresStillCountAsUpdatesAndReachTheMenu) {
    RefusedPort refused;  // no source answers
    OnePass failed(refused.port(), {city("Boston", Location::kPrimary)}, true);
    // A city no source knows is reported at once, and startScrape's failure logged.
    Location unknown = city("Nowhere", Location::kPrimary);
    unknown.serviceKeys["nws"] = AggrScraper::KeyNotInDb;
    CaptureStdout out;
    OnePass none(server.port(), {unknown}, true);
    EXPECT_NE(out.text().find("startScrape failed"), std::string::npos);
    // An empty list: the menu is told to ask for a city instead of waiting.
    OnePass empty(server.port(), {}, true);
    using Status = decltype(SuperScraper::NoScraper);
    for (auto [pass, status] : {std::pair<OnePass*, Status>{&failed, SuperScraper::FetchFailed},
                                {&none, SuperScraper::NoScraper}, {&empty, SuperScraper::NoScraper}}) {
        ASSERT_TRUE(pass->controller.waitForRunEnd());
        ASSERT_EQ(pass->reports().size(), 1u);
        EXPECT_EQ(pass->reports()[0].getStatus(), status);
    }
    EXPECT_EQ(failed.controller.location("Boston").lastUpdate, kNow);
}

TEST_F(RefreshTimerTest, StoppedRunsEndAtOnceAndHandNothingOn) {
    // The program's own time-outs: the stalled page would hold the run 14 s.
    FastHttp realTiming(5000, 3000, 2000);
    server.route("weather.example.com", "/current/springfield.html", FixtureReply::stall());
    FakeController controller(server.port(), {city("Boston", Location::kPrimary)});
    RunnableTimer timer(1800, &controller);
    timer.refreshAll();
    std::thread run([&] { timer.runOnce(); });
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    const auto start = std::chrono::steady_clock::now();
    timer.stopRuns();
    run.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(timer.runsStopped());
    EXPECT_TRUE(controller.sink->reports().empty());
    // A later run fetches nothing and reads nothing.
    const size_t applied = controller.appliedPrefs().size();
    timer.refreshAll();
    timer.runOnce();
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(controller.appliedPrefs().size(), applied);
}

TEST_F(RefreshTimerTest, RequestsAndListsArrivingDuringARunAreKept) {
    FakeController controller(server.port(), {city("Boston, United States", Location::kPrimary)});
    // The setup application pushes the list anew while the run works on the old one.
    controller.replacement = std::make_shared<LocationManager>(
        std::vector<Location>{city("Austin", Location::kPlain), city("Boston, United States", Location::kPrimary)});
    controller.replaceAtAsk = 3;  // after the run took its list
    RunnableTimer timer(1800, &controller);
    // A second full refresh arrives after the first run took its request.
    controller.onApply = [&, again = true]() mutable {
        if (std::exchange(again, false)) timer.refreshAll();
    };
    timer.refreshAll();
    timer.runOnce();
    ASSERT_EQ(controller.sink->reports().size(), 1u);
    EXPECT_EQ(controller.sink->reports()[0].getInputHashRef()["cityName"], "Boston");
    // The current list has the shortened name and the join time.
    ASSERT_EQ(controller.currentLocations(), controller.replacement);
    EXPECT_EQ(controller.location("Boston").lastUpdate, kNow);
    EXPECT_EQ(controller.location("Boston, United States").name, "");
    EXPECT_EQ(controller.location("Austin").lastUpdate, 0);
    // Only the full run asked for meanwhile scrapes again: Boston is fresh now.
    for (size_t reports : {2u, 2u}) {
        timer.runOnce();
        EXPECT_EQ(controller.sink->reports().size(), reports);
    }
}

TEST(RefreshTimerValues, PreferencesAndProxyAnswers) {
    // The menu controller reads the map with a decimal point whatever the user's locale.
    CommaLocale german;
    ASSERT_TRUE(german.active()) << "de_DE.UTF-8 could neither be found nor compiled";
    const plist::Dict prefs{{"yes", plist::Value(true)},   {"no", plist::Value(false)},
                            {"sat", plist::Value(0.5)},    {"freq", plist::Value(30)},
                            {"neg", plist::Value(-2)},     {"mode", plist::Value("free_mode")},
                            {"locations", plist::Value(plist::Array{})}, {"nested", plist::Value(plist::Dict{})}};
    EXPECT_EQ(RefreshTimer::preferencesToStringMap(prefs),
              (StringMap{{"yes", "1"}, {"no", "0"}, {"sat", "0.500000"}, {"freq", "30"}, {"neg", "-2"}, {"mode", "free_mode"}}));

    // A damaged file may hold reals far outside any integer: they saturate
    // rather than wrap (a huge frequency must not turn into the shortest).
    const StringMap huge = RefreshTimer::preferencesToStringMap(
        plist::Dict{{"update_frequency", plist::Value(1e300)}, {"low", plist::Value(-1e300)},
                    {"inf", plist::Value(std::numeric_limits<double>::infinity())}});
    EXPECT_EQ(huge, (StringMap{{"update_frequency", "9223372036854775807"}, {"low", "-9223372036854775808"},
                               {"inf", "9223372036854775807"}}));

    // A proxy answer without a usable port means port 80.
    auto withPort = [](int64_t port) { return plist::Value(plist::Array{plist::Value("p"), plist::Value(port)}); };
    const std::pair<plist::Value, std::string> answers[] = {
        {plist::Value(), ":80"}, {plist::Value(plist::Array{plist::Value("proxy.lan")}), "proxy.lan:80"},
        {withPort(0), "p:80"},   {withPort(INT_MAX), "p:80"}, {withPort(INT_MIN), "p:80"},
        {withPort(-5), "p:80"},  {withPort(3128), "p:3128"}};
    for (const auto& [answer, expected] : answers) {
        std::string host = "x";
        int port = 0;
        RefreshTimer::proxyFromAnswer(answer, host, port);
        EXPECT_EQ(host + ":" + std::to_string(port), expected);
    }
}

TEST_F(RefreshTimerTest, ARunLeftBusyCallsItsControllerNoMoreAndHoldsUpNoOtherRun) {
    FakeController controller(server.port(), {city("Boston", Location::kPrimary)});
    auto busy = std::make_unique<BusyScraper>();
    BusyScraper& source = *busy;
    controller.scraper().registerScraper(AggrScraper::Nws, std::move(busy));
    auto timer = std::make_unique<RefreshTimer>(1800, &controller);
    timer->start();
    timer->refreshAll();
    ASSERT_TRUE(MainLoop::instance().runUntil([&] { return source.entered.load(); }, 10000));

    // The owner lets go: the run is still computing at the deadline.
    EXPECT_TRUE(timer->runInProgress());
    timer->releaseController();
    EXPECT_FALSE(timer->endRunsBy(std::chrono::steady_clock::now() + std::chrono::milliseconds(200)));
    const int asked = controller.locationsAsked();
    const size_t applied = controller.appliedPrefs().size();
    StrayRuns::adopt(std::move(timer));
    EXPECT_EQ(StrayRuns::count(), 1u);

    // Another owner's run takes its turn meanwhile.
    OnePass next(server.port(), {city("Austin", Location::kPrimary)}, true);
    ASSERT_TRUE(next.controller.waitForRunEnd());
    ASSERT_EQ(next.reports().size(), 1u);
    EXPECT_EQ(next.reports()[0].getStatus(), SuperScraper::Success);

    // Once the work ends the timer goes, having handed nothing on and asked
    // its former owner for nothing.
    source.released = true;
    ASSERT_TRUE(StrayRuns::waitUntilNone(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
    EXPECT_TRUE(controller.sink->reports().empty());
    EXPECT_EQ(controller.locationsAsked(), asked);
    EXPECT_EQ(controller.appliedPrefs().size(), applied);
    EXPECT_EQ(controller.location("Boston").lastUpdate, 0);
    MainLoop::instance().runUntil([] { return false; }, 100);
    EXPECT_EQ(controller.updateItem, std::vector<bool>{false});
}
