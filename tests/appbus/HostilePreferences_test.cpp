// Hostile preference files and hostile pushes over the session bus: a file
// nested past the reader's limit is set aside and the user told; values of
// any D-Bus integer type are read; values too large for the preference file,
// or city names with control characters, are refused with the key named and
// leave the file as it was, so the next start still has its cities.

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "CoreFixture.h"
#include "app/ComTeskPlim.h"
#include "model/LocationManager.h"
#include "platform/ui/Alert.h"
#include "support/CaptureStream.h"
#include "support/HostilePlists.h"

namespace {

using HostilePreferencesTest = CoreFixture;

// Calls the core with arguments written as GLib prints D-Bus values (so of
// any type, as `gdbus call` sends them), from another thread while the main
// loop serves the call; the error text when the call failed.
std::optional<std::string> pushRaw(const std::string& method, const std::string& args) {
    GVariant* params = g_variant_parse(nullptr, args.c_str(), nullptr, nullptr, nullptr);
    if (!params) return "unparsable arguments " + args;
    g_variant_ref_sink(params);
    std::optional<std::string> error;
    std::atomic<bool> done{false};
    MainThreadChannel wake;
    std::thread caller([&, poster = wake.poster()] {
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        GError* e = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(bus, "com.tesk.Skyvane0", "/com/tesk/RootObject",
                                                      kSkyvanePublic.name.c_str(), method.c_str(), params, nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &e);
        if (reply) {
            g_variant_unref(reply);
        } else {
            error = e->message;
            g_error_free(e);
        }
        g_object_unref(bus);
        done = true;
        poster.post([] {});
    });
    MainLoop::instance().runUntil([&] { return done.load(); }, 6000);
    caller.join();
    g_variant_unref(params);
    return error;
}

std::vector<AlertRef> readingAlerts() {
    std::vector<AlertRef> found;
    for (const AlertRef& alert : Application::shared().alerts())
        if (alert->messageText() == "Problem Reading Preferences") found.push_back(alert);
    return found;
}

}  // namespace

TEST_F(HostilePreferencesTest, AFileNestedTooDeepIsSetAsideTheUserToldAndTheProgramStarts) {
    for (const hostile::FileForm& file : hostile::deepFiles()) {
        SCOPED_TRACE(file.form);
        Application::shared().clearAlerts();
        std::filesystem::create_directories(std::filesystem::path(prefsPath()).parent_path());
        std::ofstream(prefsPath(), std::ios::binary) << file.bytes;
        CaptureStderr err;
        auto core = std::make_unique<ComTeskPlim>();
        // It starts as on a first run, with no cities, and the user is told once.
        EXPECT_TRUE(titles(core->locationMenu()).size() == 3u);
        EXPECT_EQ(stored().at("version").asReal(), 2.0);
        const std::vector<AlertRef> told = readingAlerts();
        ASSERT_EQ(told.size(), 1u);
        const std::string text = told[0]->informativeText();
        const std::string prefix = "Skyvane's preferences could not be read and were kept as " + prefsPath() + ".damaged-";
        EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
        EXPECT_NE(text.find("; it starts with new ones."), std::string::npos) << text;
        const size_t from = text.find(prefsPath());
        const std::string keptAs = text.substr(from, text.find(';') - from);
        EXPECT_EQ(fileBytes(keptAs), file.bytes) << keptAs;
        core->deactivate();
        core.reset();

        // The next start reads the new file and says nothing.
        Application::shared().clearAlerts();
        auto again = std::make_unique<ComTeskPlim>();
        EXPECT_TRUE(readingAlerts().empty());
        again->deactivate();
        std::filesystem::remove(keptAs);
    }
}

TEST_F(HostilePreferencesTest, WholeNumbersOfAnyIntegerTypeAreReadOthersRefusedByTheirType) {
    store(earlierPrefs("advance_mode", {city("Des Moines, IA", Location::kPrimary)}));
    auto core = std::make_unique<ComTeskPlim>();
    const struct {
        const char* key;
        const char* value;     // as `gdbus call` is given it
        int64_t read;          // what the preference then holds
        const char* refused;   // nullptr: accepted
    } cases[] = {
        {"units", "<int32 2>", 2, nullptr},
        {"units", "<uint32 0>", 0, nullptr},
        {"max_no_locations", "<uint64 12>", 12, nullptr},
        {"units", "<int32 7>", 0, "must be a whole number from 0 to 2, not 7"},
        {"units", "<uint64 18446744073709551615>", 0, "from 0 to 2, not 1.84467e+19"},
        {"units", "<'1'>", 0, "not the string \"1\""},
        {"units", "<(1, 2)>", 0, "D-Bus type \"(ii)\""},
        {"units", "<{1: 'a'}>", 0, "D-Bus type \"a{is}\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.value);
        const std::optional<std::string> error =
            pushRaw("setPreference_toValue", std::string("(<'") + c.key + "'>, " + c.value + ")");
        if (!c.refused) {
            EXPECT_EQ(error, std::nullopt);
            EXPECT_EQ(core->prefs().at(c.key).asInt(), c.read);
        } else {
            ASSERT_TRUE(error.has_value());
            EXPECT_NE(error->find(c.refused), std::string::npos) << *error;
        }
    }
    // A source list of 32-bit numbers, as `gdbus call` sends [1, 5].
    EXPECT_EQ(pushRaw("setPreference_toValue", "(<'source_pref'>, <[1, 5]>)"), std::nullopt);
    EXPECT_EQ(core->prefs().at("source_pref"), (plist::Array{1, 5}));
    core->deactivate();
}

TEST_F(HostilePreferencesTest, ValuesTooLargeOrCityNamesWithControlCharactersAreRefusedAndTheFileKept) {
    store(earlierPrefs("advance_mode",
                       {city("Des Moines, IA", Location::kPrimary), city("Ames, IA", Location::kFavorite)}));
    auto push0 = [](const char* method, plist::Array args) {
        return push("com.tesk.Skyvane0", method, std::move(args));
    };
    auto core = std::make_unique<ComTeskPlim>();
    const std::string file = storedBytes();
    const std::vector<std::string> cities = titles(core->locationMenu());

    const std::string huge(35u << 20, 'x');
    plist::Array manyCities;
    for (int i = 0; i < 1001; ++i) manyCities.push_back(city("City " + std::to_string(i), Location::kPlain));
    plist::Dict withBigKey = core->prefs();
    withBigKey["notes"] = plist::Value(std::string(70000, 'n'));
    auto named = [&](const std::string& name) {
        plist::Dict location = city("Ames, IA", Location::kPlain).asDict();
        location["city"] = plist::Value(name);
        return location;
    };
    const struct {
        const char* method;
        plist::Array args;
        const char* named;  // the key or entry the error names
        const char* why;
    } refused[] = {
        {"setPreference_toValue", {"my_big_key", huge}, "\"my_big_key\"", "more than the 65536 allowed"},
        {"setPreference_toValue", {"blob", plist::Data(70000, 7)}, "\"blob\"", "data of 70000 bytes"},
        {"setPreference_toValue", {"list", plist::Array(1001, plist::Value(1))}, "\"list\"", "1001 entries"},
        {"setPreference_toValue", {"zero", std::string("a\0b", 3)}, "\"zero\"", "NUL"},
        {"setPreference_toValue", {std::string(70000, 'k'), 1}, "key of 70000 bytes", "more than the 65536"},
        {"setPreference_toValue", {"locations", manyCities}, "\"locations\"", "1001 entries"},
        {"setPreferences", {withBigKey}, "\"notes\"", "a text of 70000 bytes"},
        {"setCurrentLocationTo", {named(std::string(70000, 'c'))}, "the location", "70000 bytes"},
        {"setCurrentLocationTo", {named("Esc\x1b[31mCity")}, "\"city\"", "control characters"},
        {"setCurrentLocationTo", {named("Two\r\nLines")}, "\"city\"", "control characters"},
        {"setCurrentLocationTo", {named("Del\x7f")}, "\"city\"", "control characters"},
        {"setCurrentLocationTo", {named(std::string("Nul\0City", 8))}, "the location", "NUL"},
        {"setPreference_toValue", {"locations", plist::Array{named("Tab\tCity")}}, "\"city\"", "control characters"},
    };
    for (const auto& call : refused) {
        SCOPED_TRACE(std::string(call.method) + " " + call.named + " " + call.why);
        CaptureStderr err;
        const std::optional<std::string> error = push0(call.method, call.args);
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(error->find(call.named), std::string::npos) << *error;
        EXPECT_NE(error->find(call.why), std::string::npos) << *error;
        EXPECT_EQ(storedBytes(), file);
        EXPECT_EQ(titles(core->locationMenu()), cities);
    }
    // A real city list and a city with an accented name still go through.
    EXPECT_EQ(push0("setCurrentLocationTo", {named("Zürich")}), std::nullopt);
    EXPECT_EQ(titles(core->locationMenu()).size(), cities.size() + 1);
    const std::vector<std::string> withZurich = titles(core->locationMenu());
    core->deactivate();
    core.reset();

    // The next start still has every city.
    auto again = std::make_unique<ComTeskPlim>();
    EXPECT_EQ(titles(again->locationMenu()), withZurich);
    again->deactivate();
}

// Values each within bounds may not add up past what the preference file
// may hold: the push that would is refused with its key named, and the file
// stays as it was, so the next start still has its cities.
TEST_F(HostilePreferencesTest, PushesThatAddUpPastTheFilesBoundAreRefusedAndTheOldFileKept) {
    store(earlierPrefs("advance_mode",
                       {city("Des Moines, IA", Location::kPrimary), city("Ames, IA", Location::kFavorite)}));
    auto core = std::make_unique<ComTeskPlim>();
    const std::vector<std::string> cities = titles(core->locationMenu());
    auto bulk = [](const std::string& key) {
        plist::Dict entries;
        for (int i = 0; i < 40; ++i) entries["entry" + std::to_string(i)] = plist::Value(key + std::string(60000, 'b'));
        return entries;
    };
    ASSERT_EQ(push("com.tesk.Skyvane0", "setPreference_toValue", {"bulk1", bulk("bulk1")}), std::nullopt);
    const std::optional<std::string> error =
        push("com.tesk.Skyvane0", "setPreference_toValue", {"bulk2", bulk("bulk2")});
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("\"bulk2\""), std::string::npos) << *error;
    EXPECT_NE(error->find("more than the 4194304 they may hold"), std::string::npos) << *error;
    core->prefsModified();
    EXPECT_EQ(storedBytes().find("bulk2"), std::string::npos);
    // A city added over the bus counts toward the same bound.
    plist::Dict bulkCity = bulk("bulkcity");
    bulkCity["city"] = plist::Value("Bulk City");
    const std::optional<std::string> cityError = push("com.tesk.Skyvane0", "setCurrentLocationTo", {bulkCity});
    ASSERT_TRUE(cityError.has_value());
    EXPECT_NE(cityError->find("more than the 4194304 they may hold"), std::string::npos) << *cityError;
    EXPECT_EQ(titles(core->locationMenu()), cities);
    EXPECT_EQ(storedBytes().find("Bulk City"), std::string::npos);
    // Replacing the large value with a small one is a change that fits; so
    // is the city then, which is stored as soon as it is added.
    EXPECT_EQ(push("com.tesk.Skyvane0", "setPreference_toValue", {"bulk1", "small"}), std::nullopt);
    EXPECT_EQ(push("com.tesk.Skyvane0", "setCurrentLocationTo", {bulkCity}), std::nullopt);
    EXPECT_NE(storedBytes().find("Bulk City"), std::string::npos);
    const std::vector<std::string> withBulkCity = titles(core->locationMenu());
    EXPECT_EQ(withBulkCity.size(), cities.size() + 1);
    core->prefsModified();
    core->deactivate();
    core.reset();

    auto again = std::make_unique<ComTeskPlim>();
    EXPECT_EQ(titles(again->locationMenu()), withBulkCity);
    EXPECT_EQ(again->prefs().at("bulk1"), plist::Value("small"));
    again->deactivate();
}
