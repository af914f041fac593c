// Values pushed to the menu program over the session bus: one that does not
// fit is refused with an error naming its key and changes nothing; what the
// setup application sends still works.

#include <gtest/gtest.h>

#include <optional>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "model/LocationManager.h"
#include "support/CaptureStream.h"

namespace {

using PushedPreferencesTest = CoreFixture;

}  // namespace

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
