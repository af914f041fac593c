#include "app/Preferences.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestApp.h"
#include "app/ComTeskUtilControl.h"
#include "app/PreferenceValidation.h"
#include "model/LocationManager.h"
#include "model/LocationManagerMac.h"
#include "platform/PlistFile.h"
#include "platform/PreferenceStore.h"
#include "platform/ui/Alert.h"
#include "support/CaptureStream.h"

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    TempDir dir;
    PinnedConfig pin{dir};
    TestApp app{dir};
    ComTeskUtilControl util;

    void SetUp() override {
        util.initWithApp(&app);
        Application::shared().reset();
    }
    void TearDown() override { Application::shared().reset(); }

    std::string storePath() const { return (dir.path() / "config" / "skyvane" / "org.skyvane.test.plist").string(); }
    // What the preference file holds now, read as another program would.
    plist::Dict stored() const {
        plist::Value v;
        std::string error;
        EXPECT_TRUE(plist::readFile(storePath(), v, error)) << error;
        return v.isDict() ? v.asDict() : plist::Dict{};
    }
    void store(const plist::Dict& prefs) { ASSERT_TRUE(util.writePrefs(prefs)); }
    plist::Value order(std::initializer_list<int> numbers) {
        plist::Value v{plist::Array{}};
        for (int n : numbers) v.array().emplace_back(n);
        return v;
    }
};

}  // namespace

TEST_F(PreferencesTest, FirstRunStoresTheDefaultsAndTheSourceOrder) {
    EXPECT_FALSE(util.copyPrefs().has_value());
    plist::Dict prefs;
    std::unique_ptr<LocationManager> locMan;
    EXPECT_TRUE(initializePrefs(util, prefs, locMan));
    ASSERT_NE(locMan, nullptr);
    EXPECT_EQ(locMan->numLocations(), 0);
    EXPECT_EQ(prefs["source_pref"], order({1, 5, 6, 3}));
    EXPECT_EQ(prefs["version"], plist::Value(2.0));
    EXPECT_EQ(prefs["update_frequency"].asInt(), 30);  // the default list's value, 15 or more
    EXPECT_EQ(prefs["mode"].asString(), "advance_mode");
    EXPECT_TRUE(prefs["radar"].asBool());
    EXPECT_EQ(stored(), prefs);

    // The second run reads what the first stored.
    plist::Dict again;
    EXPECT_FALSE(initializePrefs(util, again, locMan));
    EXPECT_EQ(again, prefs);
}

TEST_F(PreferencesTest, WithoutDefaultsOnlyTheCodeFillsIn) {
    std::filesystem::remove(dir.path() / "Skyvane.app" / "Resources" / "DefaultPreferences.plist");
    plist::Dict prefs;
    std::unique_ptr<LocationManager> locMan;
    EXPECT_TRUE(initializePrefs(util, prefs, locMan));
    EXPECT_EQ(prefs.size(), 3u);
    EXPECT_EQ(prefs["update_frequency"], plist::Value(15));
    EXPECT_EQ(prefs["source_pref"], order({1, 5, 6, 3}));
}

TEST_F(PreferencesTest, OldTemperatureUnitBecomesUnits) {
    store({{"tempUnit", "c"}, {"version", 2.0}});
    plist::Dict prefs;
    std::unique_ptr<LocationManager> locMan;
    EXPECT_FALSE(initializePrefs(util, prefs, locMan));
    EXPECT_EQ(prefs["units"], plist::Value(0));
    EXPECT_FALSE(prefs.count("tempUnit"));
    EXPECT_FALSE(stored().count("tempUnit"));
    EXPECT_EQ(stored()["units"], plist::Value(0));

    plist::Dict f{{"tempUnit", "f"}, {"units", 0}};
    upgradePrefs(f);
    EXPECT_EQ(f["units"], plist::Value(1));
    plist::Dict odd{{"tempUnit", "k"}, {"units", 2}};
    upgradePrefs(odd);
    EXPECT_EQ(odd["units"], plist::Value(2));
    EXPECT_FALSE(odd.count("tempUnit"));
}

TEST_F(PreferencesTest, OldSourcePreferenceLeadsTheNewOrder) {
    auto upgraded = [&](plist::Value old) {
        plist::Dict prefs{{"source_pref", old}};
        upgradePrefs(prefs);
        EXPECT_EQ(prefs["version"], plist::Value(2.0));
        return prefs["source_pref"];
    };
    EXPECT_EQ(upgraded(6), order({6, 1, 5, 3}));
    EXPECT_EQ(upgraded(5), order({5, 1, 6, 3}));
    EXPECT_EQ(upgraded(3), order({3, 1, 5, 6}));
    EXPECT_EQ(upgraded(1), order({1, 5, 6, 3}));
    EXPECT_EQ(upgraded(2), order({1, 5, 6, 3}));
    EXPECT_EQ(upgraded(6.0), order({6, 1, 5, 3}));
    {
        // A value of another type is replaced by the default order, and logged.
        CaptureStderr err;
        EXPECT_EQ(upgraded("ug"), order({1, 5, 6, 3}));
        EXPECT_EQ(upgraded(order({6, 3})), order({1, 5, 6, 3}));
        const std::string log = err.text();
        EXPECT_NE(log.find("held a string"), std::string::npos);
        EXPECT_NE(log.find("held a array"), std::string::npos);
    }
    // A layout that has a version keeps its order.
    plist::Dict current{{"version", 2.0}, {"source_pref", order({5, 6, 1, 3})}};
    upgradePrefs(current);
    EXPECT_EQ(current["source_pref"], order({5, 6, 1, 3}));
}

TEST_F(PreferencesTest, UpdateFrequencyIsAtLeastFifteenMinutes) {
    plist::Dict low{{"version", 2.0}, {"update_frequency", 5}};
    upgradePrefs(low);
    EXPECT_EQ(low["update_frequency"], plist::Value(15));
    plist::Dict fine{{"version", 2.0}, {"update_frequency", 30}};
    upgradePrefs(fine);
    EXPECT_EQ(fine["update_frequency"], plist::Value(30));
    plist::Dict text{{"version", 2.0}, {"update_frequency", "often"}};
    upgradePrefs(text);
    EXPECT_EQ(text["update_frequency"], plist::Value(15));
    plist::Dict fractional{{"version", 2.0}, {"update_frequency", 14.9}};
    upgradePrefs(fractional);
    EXPECT_EQ(fractional["update_frequency"], plist::Value(15));
}

TEST_F(PreferencesTest, WriteReplacesTheWholeStoredSet) {
    store({{"humidity", true}, {"wind", true}, {"units", 1}});
    store({{"humidity", false}, {"units", 1}});
    const plist::Dict now = stored();
    EXPECT_FALSE(now.count("wind"));
    EXPECT_EQ(now.at("humidity"), plist::Value(false));
    ASSERT_TRUE(util.copyPrefs().has_value());
    EXPECT_EQ(*util.copyPrefs(), now);
    // An empty set leaves nothing stored: the next start is a first run.
    store({});
    EXPECT_FALSE(util.copyPrefs().has_value());
}

TEST_F(PreferencesTest, FillPrefHolesKeepsWhatIsThere) {
    plist::Dict prefs{{"units", 0}, {"radar", false}};
    util.fillPrefHoles(prefs);
    EXPECT_EQ(prefs["units"], plist::Value(0));
    EXPECT_EQ(prefs["radar"], plist::Value(false));
    EXPECT_EQ(prefs["humidity"], plist::Value(true));
    EXPECT_TRUE(prefs["locations"].isArray());

    // An empty or damaged default list adds nothing.
    const auto path = dir.path() / "Skyvane.app" / "Resources" / "DefaultPreferences.plist";
    std::ofstream(path) << "<plist version=\"1.0\"><dict/></plist>";
    plist::Dict none;
    util.fillPrefHoles(none);
    EXPECT_TRUE(none.empty());
    std::ofstream(path) << "garbage";
    CaptureStderr err;
    util.fillPrefHoles(none);
    EXPECT_TRUE(none.empty());
    EXPECT_NE(err.text().find("DefaultPreferences"), std::string::npos);
}

TEST_F(PreferencesTest, ProblemSavingIsShownAndMemoryKept) {
    // The configuration folder is a plain file: nothing can be stored under it.
    std::filesystem::remove_all(dir.path() / "config");
    std::ofstream(dir.path() / "config") << "not a folder";
    plist::Dict prefs{{"units", 2}};
    CaptureStderr err;
    EXPECT_FALSE(util.writePrefs(prefs));
    EXPECT_NE(err.text().find("Couldn't save preferences"), std::string::npos);
    const auto& alerts = Application::shared().alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->messageText(), "Problem Saving Preferences");
    EXPECT_EQ(alerts[0]->informativeText(),
              "Couldn't save preferences.  Any changes you make to your preferences will not be persistent "
              "throughout different runs of the application.");
    EXPECT_EQ(alerts[0]->buttonTitle(kAlertDefaultReturn), "OK");
    EXPECT_FALSE(alerts[0]->isSheet());
    EXPECT_EQ(prefs["units"], plist::Value(2));
}

TEST_F(PreferencesTest, StoredLocationsComeBackAsTheManagersList) {
    plist::Dict prefs;
    std::unique_ptr<LocationManager> locMan;
    initializePrefs(util, prefs, locMan);
    Location boston;
    boston.name = "Boston, MA";
    prefs["locations"] = LocationManagerMac::arrayFromLocationList({boston});
    ASSERT_TRUE(util.writePrefs(prefs));

    plist::Dict again;
    initializePrefs(util, again, locMan);
    ASSERT_EQ(locMan->numLocations(), 1);
    EXPECT_EQ(locMan->locNameAtIndex(0), "Boston, MA");
}

TEST_F(PreferencesTest, ADamagedStoreIsReportedAndReadsAsFirstRun) {
    std::filesystem::create_directories(std::filesystem::path(storePath()).parent_path());
    std::ofstream(storePath()) << "<plist><dict><key>units";
    CaptureStderr err;
    EXPECT_FALSE(util.copyPrefs().has_value());
    EXPECT_FALSE(err.text().empty());
}

// A city list that grows is held to the bounds of every push: at most 1,000
// cities, and all preferences together within 4 MB. One that does not grow
// passes, so an old file past a bound does not lock its cities in.
TEST(LocationListBounds, AGrowingListIsHeldToTheBoundsOfEveryPush) {
    auto cities = [](size_t count, size_t nameBytes) {
        plist::Array list(count);
        for (size_t i = 0; i < count; ++i) {
            list[i]["city"] = std::to_string(i) + std::string(nameBytes, 'c');
            list[i]["locStatus"] = 0;
        }
        return plist::Value(std::move(list));
    };
    plist::Dict current;
    current["units"] = plist::Value(1);
    current["locations"] = cities(3, 10);
    EXPECT_EQ(locationListProblem(cities(4, 10), current), std::nullopt);
    EXPECT_EQ(locationListProblem(cities(1000, 10), current), std::nullopt);
    const std::optional<std::string> many = locationListProblem(cities(1001, 10), current);
    ASSERT_TRUE(many.has_value());
    EXPECT_NE(many->find("1001 cities, more than the 1000 allowed"), std::string::npos) << *many;
    current["locations"] = cities(1001, 10);
    EXPECT_EQ(locationListProblem(cities(1001, 10), current), std::nullopt);

    // About 4.4 MB of names: refused as the list grows to it, kept once held.
    current["locations"] = cities(3, 10);
    const std::optional<std::string> large = locationListProblem(cities(70, 63000), current);
    ASSERT_TRUE(large.has_value());
    EXPECT_NE(large->find("more than the 4194304 they may hold"), std::string::npos) << *large;
    current["locations"] = cities(70, 63000);
    EXPECT_EQ(locationListProblem(cities(70, 63000), current), std::nullopt);
    EXPECT_EQ(locationListProblem(cities(69, 63000), current), std::nullopt);
}
