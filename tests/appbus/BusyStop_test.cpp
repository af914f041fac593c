// Stopping while a scraper thread computes on a hostile page: the stop waits
// only so long, the busy refresh is left to end on its own, its late results
// go nowhere, and the program still ends at once with its preferences saved.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "app/Skyvane.h"
#include "app/StrayRuns.h"
#include "platform/PreferenceStore.h"
#include "support/busy/BusyRegex.h"

extern char** environ;
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions();

namespace {

using std::chrono::steady_clock;
constexpr auto kStopBound = std::chrono::seconds(3);

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

TEST_F(BusyStopTest, TheEndOfTheProgramSavesThePreferencesAndLeavesTheBusyThreadAlone) {
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
        // Saved before the program ends, the change in memory too.
        const plist::Dict prefs = stored();
        EXPECT_EQ(prefs.at("units").asInt(-1), 0);
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
    // This test's environment and bus, headless, with regexec spinning on the
    // marked page; the sanitizers are told what every test program tells them.
    const std::string threadSuppressions = session.dir.file("tsan.supp");
    const std::string leakSuppressions = session.dir.file("lsan.supp");
    std::ofstream(threadSuppressions) << __tsan_default_suppressions();
    std::ofstream(leakSuppressions) << __lsan_default_suppressions();
    std::vector<std::string> env{"TSAN_OPTIONS=suppressions=" + threadSuppressions,
                                 "LSAN_OPTIONS=suppressions=" + leakSuppressions,
                                 "ASAN_OPTIONS=verify_asan_link_order=0",
                                 std::string("LD_PRELOAD=") + SKYVANE_BUSY_REGEX_LIBRARY};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e, name = entry.substr(0, entry.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "TSAN_OPTIONS" && name != "LSAN_OPTIONS" &&
            name != "ASAN_OPTIONS" && name != "LD_PRELOAD")
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    for (const Program& p : programs) {
        SCOPED_TRACE(p.path);
        PreferenceStore store(p.domain, PreferenceScope::CurrentUserAnyHost);
        store.setMultiple(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}), {});
        ASSERT_TRUE(store.synchronize());
        const std::string prefsFile = store.path();

        std::string program = p.path;
        char* argv[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = session.dir.file(std::filesystem::path(program).filename().string() + ".log");
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        auto programLog = [&log] {
            std::ifstream in(log);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };

        bool busy = false;
        for (auto waited = steady_clock::now(); !busy && since(waited) < std::chrono::seconds(30);) {
            busy = programLog().find(kBusyAnnouncement) != std::string::npos;
            if (!busy) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        // The file goes, so only a save at the end can bring it back.
        std::filesystem::remove(prefsFile);

        const auto start = steady_clock::now();
        ::kill(pid, SIGTERM);
        int status = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && since(start) < std::chrono::seconds(20))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto took = since(start);
        if (ended == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        ASSERT_TRUE(busy) << "no scraper thread ever computed on the marked page:\n" << programLog();
        ASSERT_EQ(ended, pid) << "still running 20 s after SIGTERM:\n" << programLog();
        EXPECT_LT(took, kStopBound) << programLog();
        ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << programLog();
        EXPECT_EQ(WEXITSTATUS(status), 0) << programLog();
        const plist::Dict prefs = PreferenceStore(p.domain, PreferenceScope::CurrentUserAnyHost).copyMultiple();
        ASSERT_TRUE(prefs.count("locations")) << programLog();
        EXPECT_EQ(prefs.at("locations").asArray().size(), 1u);
    }
}
#endif
