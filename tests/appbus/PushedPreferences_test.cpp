// Values pushed to the menu program over the session bus: a value that does
// not fit is refused with an error naming its key and changes nothing, on
// disk, in memory or in the menu; what the setup application sends still works.

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "app/SkyvaneProtocols.h"
#include "model/LocationManager.h"
#include "support/CaptureStream.h"

namespace {

std::vector<std::string> titles(const MenuRef& menu) {
    std::vector<std::string> out;
    for (const MenuItemRef& item : menu->items()) out.push_back(item->isSeparatorItem() ? "-" : item->title());
    return out;
}

// Calls the core from another thread while the main loop serves the call, as
// the setup application does; the error text when the call was refused.
std::optional<std::string> push(const std::string& method, plist::Array args) {
    std::optional<std::string> error;
    std::atomic<bool> done{false};
    MainThreadChannel wake;  // ends the main loop's wait as soon as the call is back
    std::thread caller([&, poster = wake.poster()] {
        try {
            auto remote = RemoteObject::lookup("com.tesk.Skyvane0", kSkyvanePublic);
            if (remote)
                remote->call(method, args, 5000);
            else
                error = "nobody holds com.tesk.Skyvane0";
        } catch (const RemoteCallError& e) {
            error = e.what();
        }
        done = true;
        poster.post([] {});
    });
    MainLoop::instance().runUntil([&] { return done.load(); }, 6000);
    caller.join();
    return error;
}

struct BadPush {
    const char* method;
    plist::Array args;
    const char* named;  // what the error must name
};

using PushedPreferencesTest = CoreFixture;

}  // namespace

TEST_F(PushedPreferencesTest, BadValuesAreRefusedAndChangeNothingGoodOnesStillWork) {
    for (const char* mode : {"free_mode", "advance_mode"}) {
        SCOPED_TRACE(mode);
        plist::Dict earlier =
            earlierPrefs(mode, {city("Des Moines, IA", Location::kPrimary), city("Ames, IA", Location::kFavorite)});
        earlier["display_color"] = plist::Value("grey");  // an odd value an old file may hold
        store(earlier);
        auto core = std::make_unique<ComTeskPlim>();
        ASSERT_EQ(core->registeredName(), "com.tesk.Skyvane0");
        ASSERT_TRUE(waitFor([&] {
            return server.requestCount() > 0 && core->menu()->itemWithTag(ComTeskPlim::kUpdate)->isEnabled();
        }));
        const std::string file = storedBytes();
        ASSERT_NE(file.find("Ames, IA"), std::string::npos);
        const std::vector<std::string> cities = titles(core->locationMenu());
        const plist::Dict held = core->prefs();
        const std::shared_ptr<LocationManager> list = core->locMan();

        plist::Dict oneBadValue = held;
        oneBadValue["locations"] = plist::Array{city("Boston, MA", Location::kPrimary)};
        oneBadValue["font_size"] = plist::Value(1);
        oneBadValue["radar"] = plist::Value("yes");
        plist::Dict noLocations = held;
        noLocations.erase("locations");
        const BadPush bad[] = {
            {"setPreference_toValue", {"locations", "garbage"}, "\"locations\""},
            {"setPreference_toValue", {"locations", plist::Array{plist::Dict{}}}, "\"city\""},
            {"setPreference_toValue", {"locations", plist::Array{plist::Dict{{"city", ""}}}}, "\"city\""},
            {"setPreference_toValue", {"update_frequency", "30"}, "\"update_frequency\""},
            {"setPreference_toValue", {"update_frequency", 5}, "\"update_frequency\""},
            {"setPreference_toValue", {"units", 7}, "\"units\""},
            {"setPreference_toValue", {"icon_saturation", 1.5}, "\"icon_saturation\""},
            {"setPreference_toValue", {"humidity", 1}, "\"humidity\""},
            {"setPreference_toValue", {"mode", "fast_mode"}, "\"mode\""},
            {"setPreference_toValue", {"source_pref", plist::Array{1, 9}}, "\"source_pref\""},
            {"setPreferences", {oneBadValue}, "\"radar\""},
            {"setPreferences", {noLocations}, "\"locations\""},
            {"setCurrentLocationTo", {plist::Dict{}}, "\"city\""},
            {"setCurrentLocationTo", {plist::Dict{{"city", "Boston, MA"}, {"locStatus", 9}}}, "\"locStatus\""},
            {"setCurrentLocationTo", {plist::Dict{{"city", "Boston, MA"}, {"nws", 12}}}, "\"nws\""},
        };
        for (const BadPush& push_ : bad) {
            SCOPED_TRACE(std::string(push_.method) + " " + push_.named);
            CaptureStderr err;
            const std::optional<std::string> error = push(push_.method, push_.args);
            ASSERT_TRUE(error.has_value());
            EXPECT_NE(error->find(push_.named), std::string::npos) << *error;
            EXPECT_NE(err.text().find("Refused "), std::string::npos);
            EXPECT_EQ(storedBytes(), file);
            EXPECT_EQ(titles(core->locationMenu()), cities);
            EXPECT_TRUE(core->prefs() == held);
            EXPECT_EQ(core->locMan(), list);
        }

        // What the setup application sends still goes through: a slider's
        // real, a check box, a new city, and the whole set echoed back with
        // the odd value it was given. Keys that are not ours pass as before.
        EXPECT_EQ(push("setPreference_toValue", {"icon_saturation", 0.25}), std::nullopt);
        EXPECT_EQ(core->prefs().at("icon_saturation").asReal(), 0.25);
        EXPECT_EQ(push("setPreference_toValue", {"humidity", false}), std::nullopt);
        EXPECT_EQ(push("setPreference_toValue", {"my_own_key", plist::Array{}}), std::nullopt);
        EXPECT_TRUE(core->prefs().at("my_own_key").isArray());
        EXPECT_EQ(push("setCurrentLocationTo", {city("Boston, MA", Location::kPlain)}), std::nullopt);
        EXPECT_EQ(titles(core->locationMenu()).size(), cities.size() + 1);
        EXPECT_NE(storedBytes().find("Boston, MA"), std::string::npos);
        plist::Dict whole = core->prefs();
        whole["update_frequency"] = plist::Value(37.5);
        EXPECT_EQ(push("setPreferences", {whole}), std::nullopt);
        EXPECT_EQ(stored().at("update_frequency").asReal(), 37.5);
        EXPECT_EQ(stored().at("display_color").asString(), "grey");
        EXPECT_EQ(stored().at("locations").asArray().size(), 3u);
        core->deactivate();
    }
}
