// The menu program against sites that do not answer, and which way its
// fetches go: teardown waits for no network, the proxy exceptions are
// honoured, and radar images come through the proxy.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "app/Skyvane.h"
#include "platform/PreferenceStore.h"
#include "support/FastHttp.h"
#include "support/SpawnedProgram.h"

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

    // The fixture's environment (home, preference folder, http_proxy) and this test bus.
    SpawnedProgram program(SKYVANE_APP_BINARY, session.dir);
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(server.waitForRequests(1, 30000)) << "the program never asked for its city:\n" << program.log();
    const SpawnedProgram::Exit exit = program.terminate();
    ASSERT_TRUE(exit.ended) << "still running 20 s after SIGTERM:\n" << program.log();
    EXPECT_LT(exit.took, std::chrono::seconds(3));
    ASSERT_TRUE(WIFEXITED(exit.status)) << exit.status;
    EXPECT_EQ(WEXITSTATUS(exit.status), 0) << program.log();
}
#endif
