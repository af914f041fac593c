// The menu program against sites that do not answer, and which way its
// fetches go: teardown waits for no network, the proxy exceptions are
// honoured, and radar images come through the proxy.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "app/Skyvane.h"
#include "platform/PreferenceStore.h"
#include "support/FastHttp.h"

extern char** environ;
// What every test program tells the sanitizers to leave alone (the shared test main).
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions();

namespace {

using NetworkWorkTest = CoreFixture;
using std::chrono::steady_clock;

steady_clock::duration since(steady_clock::time_point start) { return steady_clock::now() - start; }

std::vector<FixtureRequest> requestsFor(const FixtureServer& server, const std::string& host) {
    std::vector<FixtureRequest> found;
    for (const FixtureRequest& request : server.requests())
        if (request.host == host) found.push_back(request);
    return found;
}

}  // namespace

TEST_F(NetworkWorkTest, TearingDownDuringAStalledFetchWaitsForNothing) {
    // The program's own time-outs and pauses: the silent site held each teardown 13.5 s.
    FastHttp timing(5000, 3000, 2000);
    server.route("www.crh.noaa.gov", kDesMoinesPath, FixtureReply::stall());
    store(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}));
    ComTeskPlim core;
    ASSERT_TRUE(server.waitForRequests(1, 15000));

    // The mode switch tears the free controller down under the stalled fetch.
    auto start = steady_clock::now();
    core.switchModes();
    EXPECT_LT(since(start), std::chrono::seconds(2));
    ASSERT_TRUE(core.controller()->isAdvanced());

    // The advanced controller's first refresh stalls too; so does its teardown not.
    ASSERT_TRUE(server.waitForRequests(2, 15000));
    start = steady_clock::now();
    core.deactivate();
    EXPECT_LT(since(start), std::chrono::seconds(2));
    EXPECT_EQ(core.controller(), nullptr);
}

TEST_F(NetworkWorkTest, ProxyExceptionsGoDirectAndRadarGoesThroughTheProxy) {
    // The observations host is an exception; the loopback server stands in for it.
    setenv("no_proxy", "localhost,weather.noaa.gov", 1);
    ResolveOverride direct({{"weather.noaa.gov", server.address()}});
    server.route("radar.skyvane.org", "/get_radar.php", FixtureReply::page(std::string(3000, 'G'), 200, "image/gif"));
    plist::Dict prefs = earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)});
    prefs["radar"] = plist::Value(1);
    store(prefs);
    ComTeskPlim core;
    ASSERT_TRUE(waitFor([&] {
        return !requestsFor(server, "radar.skyvane.org").empty() &&
               core.menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled();
    }));
    core.deactivate();
    unsetenv("no_proxy");

    const auto pages = requestsFor(server, "www.crh.noaa.gov");
    const auto observations = requestsFor(server, "weather.noaa.gov");
    const auto radar = requestsFor(server, "radar.skyvane.org");
    ASSERT_FALSE(pages.empty());
    ASSERT_FALSE(observations.empty());
    ASSERT_EQ(radar.size(), 1u);
    for (const FixtureRequest& request : pages) EXPECT_TRUE(request.proxyForm) << request.target;
    for (const FixtureRequest& request : observations) EXPECT_FALSE(request.proxyForm) << request.target;
    EXPECT_TRUE(radar[0].proxyForm);
    EXPECT_EQ(radar[0].target.rfind("http://radar.skyvane.org/get_radar.php?pdv=1&", 0), 0u) << radar[0].target;
}

#ifdef SKYVANE_APP_BINARY
TEST_F(NetworkWorkTest, TheStandaloneProgramEndsAtOnceOnSIGTERMDuringAStalledFetch) {
    server.route("www.crh.noaa.gov", kDesMoinesPath, FixtureReply::stall());
    // Stored preferences of the program itself, so it does not start the setup application.
    PreferenceStore file("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost);
    file.setMultiple(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}), {});
    ASSERT_TRUE(file.synchronize());

    // The fixture's environment (home, preference folder, http_proxy) and this
    // test bus, headless; the sanitizers leave the desktop libraries alone, as
    // in every test program.
    const std::string threadSuppressions = session.dir.file("tsan.supp");
    const std::string leakSuppressions = session.dir.file("lsan.supp");
    std::ofstream(threadSuppressions) << __tsan_default_suppressions();
    std::ofstream(leakSuppressions) << __lsan_default_suppressions();
    std::vector<std::string> env{"TSAN_OPTIONS=suppressions=" + threadSuppressions,
                                 "LSAN_OPTIONS=suppressions=" + leakSuppressions};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e, name = entry.substr(0, entry.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "TSAN_OPTIONS" && name != "LSAN_OPTIONS")
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = SKYVANE_APP_BINARY;
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = session.dir.file("app.log");
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    const bool fetching = server.waitForRequests(1, 30000);
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
    auto programLog = [&log] {
        std::ifstream in(log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    ASSERT_TRUE(fetching) << "the program never asked for its city:\n" << programLog();
    ASSERT_EQ(ended, pid) << "still running 20 s after SIGTERM:\n" << programLog();
    EXPECT_LT(took, std::chrono::seconds(3));
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << programLog();
}
#endif
