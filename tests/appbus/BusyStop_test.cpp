// Stopping while a scraper thread computes on a hostile page: the stop waits
// only so long, the busy refresh is left to end on its own, its late results
// go nowhere, and the program still ends at once.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "app/Skyvane.h"
#include "app/StrayRuns.h"
#include "platform/PreferenceStore.h"
#include "support/SpawnedProgram.h"
#include "support/busy/BusyRegex.h"

namespace {

using std::chrono::steady_clock;
// The busy scraper thread spins until the test releases it, so a stop that
// waited for it would never end; the bound only has to tell "left behind"
// from "waited", and is wide so that a loaded sanitizer build stays inside it.
constexpr auto kStopBound = std::chrono::seconds(15);

steady_clock::duration since(steady_clock::time_point start) { return steady_clock::now() - start; }

class BusyStopTest : public CoreFixture {
protected:
    static constexpr const char* kObservations = "/pub/data/observations/metar/decoded/KDSM.TXT";

    // The observations with a temperature of their own, each line marked so
    // that matching it keeps the scraper thread computing.
    void serveBusyObservations() {
        std::string page = fixtureText("nws/observations/KDSM.TXT");
        page.replace(page.find("30.0 F"), 6, "99.0 F");
        std::string marked;
        for (size_t at = 0, end; at < page.size(); at = end + 1) {
            end = page.find('\n', at);
            if (end == std::string::npos) end = page.size();
            marked += page.substr(at, end - at) + " " + kBusyMarker + "\n";
        }
        server.route("weather.noaa.gov", kObservations, FixtureReply::page(marked, 200, "text/plain"));
    }
    void serveCalmObservations() { server.routeFile("weather.noaa.gov", kObservations, "observations/KDSM.TXT"); }

    BusyStopTest() { skyvane_busy_regex_arm(); }
    ~BusyStopTest() override {
        // Whatever a test left spinning ends, so the core's teardown can wait for it.
        skyvane_busy_regex_release();
        StrayRuns::waitUntilNone();
    }
};

bool idle(ComTeskPlim& core) { return core.menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled(); }

}  // namespace

TEST_F(BusyStopTest, AModeSwitchLeavesABusyRefreshBehindAndDropsItsResults) {
    serveBusyObservations();
    store(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}));
    ComTeskPlim core;
    ASSERT_TRUE(waitFor([] { return skyvane_busy_regex_spins() > 0; }, 30000));

    // The advanced controller finds a calm site; the free one is still computing.
    serveCalmObservations();
    const auto start = steady_clock::now();
    core.switchModes();
    EXPECT_LT(since(start), kStopBound);
    ASSERT_TRUE(core.controller()->isAdvanced());
    EXPECT_EQ(StrayRuns::count(), 1u);

    ASSERT_TRUE(waitFor([&] { return idle(core) && core.statusItem()->title().find("30") != std::string::npos; }))
        << core.statusItem()->title();
    // The left run ends now; its report (99 degrees) reaches nobody.
    skyvane_busy_regex_release();
    ASSERT_TRUE(StrayRuns::waitUntilNone(steady_clock::now() + std::chrono::seconds(30)));
    waitFor([] { return false; }, 300);
    EXPECT_EQ(core.statusItem()->title().find("99"), std::string::npos) << core.statusItem()->title();
    EXPECT_NE(core.statusItem()->title().find("30"), std::string::npos) << core.statusItem()->title();
    EXPECT_EQ(stored().at("mode").stringOr(""), "advance_mode");
}

TEST_F(BusyStopTest, TheEndOfTheProgramStoresNoPreviewAndLeavesTheBusyThreadAlone) {
    serveBusyObservations();
    store(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}));
    {
        ComTeskPlim core;
        ASSERT_TRUE(waitFor([] { return skyvane_busy_regex_spins() > 0; }, 30000));
        core.setPreference("units", plist::Value(0));

        const auto start = steady_clock::now();
        EXPECT_FALSE(core.finishForExit());
        EXPECT_LT(since(start), kStopBound);
        EXPECT_EQ(StrayRuns::count(), 1u);
        EXPECT_EQ(core.controller(), nullptr);
        // The pushed value was a preview that nothing settled: the store keeps
        // what it held.
        const plist::Dict prefs = stored();
        EXPECT_EQ(prefs.at("units").asInt(-1), 1);
        EXPECT_EQ(prefs.at("locations").asArray().size(), 1u);
        // The core stays while the thread uses it; destroying it waits for the thread.
        skyvane_busy_regex_release();
    }
    EXPECT_EQ(StrayRuns::count(), 0u);
}

#if defined(SKYVANE_APP_BINARY) && defined(SKYVANE_BUSY_REGEX_LIBRARY)
TEST_F(BusyStopTest, TheProgramsEndOnSIGTERMWhileAScraperThreadComputes) {
    serveBusyObservations();
    struct Program {
        const char* path;
        const char* domain;  // of its preferences
    };
    std::vector<Program> programs{{SKYVANE_APP_BINARY, "com.tesk.Skyvane"}};
#ifdef SKYVANE_MENU_HOST_BINARY
    // The menu-bar host with the plug-in beside it.
    programs.push_back({SKYVANE_MENU_HOST_BINARY, "com.tesk.SkyvaneMenu"});
#endif
    for (const Program& p : programs) {
        SCOPED_TRACE(p.path);
        PreferenceStore store(p.domain, PreferenceScope::CurrentUserAnyHost);
        store.setMultiple(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}), {});
        ASSERT_TRUE(store.synchronize());

        // regexec spins on the marked page in the program too.
        SpawnedProgram program(p.path, session.dir,
                               {"ASAN_OPTIONS=verify_asan_link_order=0",
                                std::string("LD_PRELOAD=") + SKYVANE_BUSY_REGEX_LIBRARY});
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(program.waitForLog(kBusyAnnouncement, std::chrono::seconds(30)))
            << "no scraper thread ever computed on the marked page:\n" << program.log();
        // The file goes; nothing at the end brings it back.
        std::filesystem::remove(store.path());

        const SpawnedProgram::Exit exit = program.terminate();
        ASSERT_TRUE(exit.ended) << "still running 20 s after SIGTERM:\n" << program.log();
        EXPECT_LT(exit.took, kStopBound) << program.log();
        ASSERT_TRUE(WIFEXITED(exit.status)) << exit.status << "\n" << program.log();
        EXPECT_EQ(WEXITSTATUS(exit.status), 0) << program.log();
        EXPECT_FALSE(std::filesystem::exists(store.path())) << program.log();
    }
}
#endif
