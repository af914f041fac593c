// Values pushed to the menu program over the session bus: one that does not
// fit is refused with an error naming its key and changes nothing; what the
// setup application sends still works.

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "model/LocationManager.h"
#include "model/UnitConverter.h"
#include "support/CaptureStream.h"
#include "util/DisplayText.h"

namespace {

using PushedPreferencesTest = CoreFixture;

bool idle(ComTeskPlim& core) { return core.menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled(); }

// A value of the Des Moines page as the menu shows it in these units.
std::string inUnits(std::string text, int units, void (*convert)(std::string&, UnitConverter::Units)) {
    convert(text, UnitConverter::convertPrefStringToUnitFormat(std::to_string(units)));
    return toDisplayText(text);
}

// The title of the menu line whose label is this text; "" when none.
std::string lineLabelled(const MenuRef& menu, const std::string& label) {
    for (const MenuItemRef& item : menu->items())
        if (item->imageText() == label) return item->title();
    return "";
}

// Sends the calls one after the other from one thread, as quick clicks in
// Preferences do, while the main loop serves them; false when one failed.
bool pushAll(const std::string& name, const std::vector<std::pair<std::string, plist::Array>>& calls) {
    std::atomic<bool> done{false}, ok{false};
    MainThreadChannel wake;
    std::thread caller([&, poster = wake.poster()] {
        try {
            if (auto remote = RemoteObject::lookup(name, kSkyvanePublic)) {
                for (const auto& [method, args] : calls) remote->call(method, args, 5000);
                ok = true;
            }
        } catch (const RemoteCallError&) {
        }
        done = true;
        poster.post([] {});
    });
    MainLoop::instance().runUntil([&] { return done.load(); }, 12000);
    caller.join();
    return ok.load();
}

}  // namespace

TEST_F(PushedPreferencesTest, TheLastOfQuickUnitPushesIsShownInTheMenuAndToolTip) {
    plist::Dict prefs = earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)});
    prefs["wind"] = plist::Value(true);  // a menu line in the chosen units
    store(prefs);
    auto core = std::make_unique<ComTeskPlim>();
    auto shows = [&](int units) {
        const std::string temperature = inUnits("30", units, UnitConverter::convFahrenheit);
        const std::string tip = core->statusItem()->toolTip();
        return core->statusItem()->title() == temperature &&
               lineLabelled(core->menu(), "Wind:") == inUnits("NW 15 MPH", units, UnitConverter::convWind) &&
               tip.size() > temperature.size() &&
               tip.compare(tip.size() - temperature.size(), std::string::npos, temperature) == 0;
    };
    ASSERT_TRUE(waitFor([&] { return idle(*core) && shows(1); })) << core->statusItem()->toolTip();

    // Each round pushes two values that both differ from what is shown and
    // waits for the second; now and then a refresh run is under way too.
    int shown = 1;
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        const int last = (shown + 1) % 3, first = (shown + 2) % 3;
        if (round % 5 == 0) core->menu()->itemWithTag(ComTeskPlim::kUpdate)->userChoose();
        ASSERT_TRUE(pushAll("com.tesk.Skyvane0", {{"setPreference_toValue", {"units", first}},
                                                  {"setPreference_toValue", {"units", last}}}));
        EXPECT_EQ(core->prefs().at("units").asInt(), last);
        ASSERT_TRUE(waitFor([&] { return shows(last); }, 10000))
            << "pushed " << first << " then " << last << "; title " << core->statusItem()->title() << ", wind "
            << lineLabelled(core->menu(), "Wind:");
        shown = last;
    }
    ASSERT_TRUE(waitFor([&] { return idle(*core); }));
    EXPECT_TRUE(shows(shown));
    core->deactivate();
}

TEST_F(PushedPreferencesTest, TheToolTipFollowsAFailedNewPrimaryCity) {
    store(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}));
    auto core = std::make_unique<ComTeskPlim>();
    ASSERT_TRUE(waitFor([&] { return idle(*core) && !core->statusItem()->title().empty(); }));
    const std::string before = core->statusItem()->toolTip();
    EXPECT_EQ(before.rfind("Des Moines, IA\n", 0), 0u) << before;

    // The new city's site cannot be reached: its proxy refuses.
    RefusedPort refused;
    setProxyPort(refused.port());
    ASSERT_EQ(push("com.tesk.Skyvane0", "setCurrentLocationTo", {city("Springfield, MO", Location::kPrimary)}),
              std::nullopt);
    const std::string failure = "Could not contact weather site  (5)";
    ASSERT_TRUE(waitFor([&] { return idle(*core) && core->menu()->itemAtIndex(0)->title() == failure; }));
    EXPECT_EQ(core->statusItem()->toolTip(), "Springfield, MO\n" + failure);
    EXPECT_EQ(core->statusItem()->title().find_first_not_of(' '), std::string::npos);

    // Back to a city that answers: its weather again, no failure.
    setProxyPort(server.port());
    for (const MenuItemRef& item : core->locationMenu()->items())
        if (item->title() == "Des Moines, IA") item->userChoose();
    ASSERT_TRUE(waitFor([&] { return idle(*core) && core->statusItem()->toolTip().find("Des Moines, IA\n") == 0; }))
        << core->statusItem()->toolTip();
    ASSERT_TRUE(waitFor([&] { return core->statusItem()->toolTip() == before; })) << core->statusItem()->toolTip();
    core->deactivate();
}

TEST_F(PushedPreferencesTest, BadValuesAreRefusedAndChangeNothingGoodOnesStillWork) {
    // The core of each round holds the first name.
    auto send = [](const char* method, plist::Array args) {
        return push("com.tesk.Skyvane0", method, std::move(args));
    };
    for (const char* mode : {"free_mode", "advance_mode"}) {
        SCOPED_TRACE(mode);
        plist::Dict earlier =
            earlierPrefs(mode, {city("Des Moines, IA", Location::kPrimary), city("Ames, IA", Location::kFavorite)});
        earlier["display_color"] = plist::Value("grey");  // an odd value an old file may hold
        store(earlier);
        auto core = std::make_unique<ComTeskPlim>();
        ASSERT_TRUE(waitFor([&] {
            return server.requestCount() > 0 && core->menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled();
        }));
        const std::string file = storedBytes();
        const std::vector<std::string> cities = titles(core->locationMenu());
        const plist::Dict held = core->prefs();
        const std::shared_ptr<LocationManager> list = core->locMan();

        plist::Dict oneBadValue = held;
        oneBadValue["locations"] = plist::Array{city("Boston, MA", Location::kPrimary)};
        oneBadValue["radar"] = plist::Value("yes");
        plist::Dict noLocations = held;
        noLocations.erase("locations");
        const struct {
            const char* method;
            plist::Array args;
            const char* named;
        } bad[] = {
            {"setPreference_toValue", {"locations", "garbage"}, "\"locations\""},
            {"setPreference_toValue", {"locations", plist::Array{plist::Dict{{"city", ""}}}}, "\"city\""},
            {"setPreference_toValue", {"update_frequency", "30"}, "\"update_frequency\""},
            {"setPreference_toValue", {"update_frequency", 5}, "\"update_frequency\""},
            {"setPreference_toValue", {"icon_saturation", 1.5}, "\"icon_saturation\""},
            {"setPreference_toValue", {"humidity", 1}, "\"humidity\""},
            {"setPreference_toValue", {"source_pref", plist::Array{1, 9}}, "\"source_pref\""},
            {"setPreferences", {oneBadValue}, "\"radar\""},
            {"setPreferences", {noLocations}, "\"locations\""},
            {"setCurrentLocationTo", {plist::Dict{}}, "\"city\""},
            {"setCurrentLocationTo", {plist::Dict{{"city", "Boston, MA"}, {"locStatus", 9}}}, "\"locStatus\""},
        };
        for (const auto& call : bad) {
            SCOPED_TRACE(std::string(call.method) + " " + call.named);
            CaptureStderr err;
            const std::optional<std::string> error = send(call.method, call.args);
            ASSERT_TRUE(error.has_value());
            EXPECT_NE(error->find(call.named), std::string::npos) << *error;
            EXPECT_NE(err.text().find("Refused "), std::string::npos);
            EXPECT_EQ(storedBytes(), file);
            EXPECT_EQ(titles(core->locationMenu()), cities);
            EXPECT_TRUE(core->prefs() == held);
            EXPECT_EQ(core->locMan(), list);
        }

        // A slider's real, a key that is not ours, a new city, and the whole
        // set echoed back with the odd value it holds all go through.
        EXPECT_EQ(send("setPreference_toValue", {"icon_saturation", 0.25}), std::nullopt);
        EXPECT_EQ(core->prefs().at("icon_saturation").asReal(), 0.25);
        EXPECT_EQ(send("setPreference_toValue", {"my_own_key", plist::Array{}}), std::nullopt);
        EXPECT_EQ(send("setCurrentLocationTo", {city("Boston, MA", Location::kPlain)}), std::nullopt);
        EXPECT_EQ(titles(core->locationMenu()).size(), cities.size() + 1);
        plist::Dict whole = core->prefs();
        whole["update_frequency"] = plist::Value(37.5);
        EXPECT_EQ(send("setPreferences", {whole}), std::nullopt);
        EXPECT_EQ(stored().at("update_frequency").asReal(), 37.5);
        EXPECT_EQ(stored().at("display_color").asString(), "grey");
        EXPECT_TRUE(stored().at("my_own_key").isArray());
        EXPECT_EQ(stored().at("locations").asArray().size(), 3u);
        core->deactivate();
    }
}
