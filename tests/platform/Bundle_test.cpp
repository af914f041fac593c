#include "platform/Bundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "EnvScope.h"
#include "platform/PlistFile.h"
#include "platform/UserLocale.h"
#include "support/TempDir.h"
#include "util/FileUtils.h"

namespace {

void put(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

void putPlist(const std::filesystem::path& path, const plist::Value& value) {
    std::filesystem::create_directories(path.parent_path());
    std::string error;
    ASSERT_TRUE(plist::writeFile(path, value, error)) << error;
}

class BundleTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.path() / "Skyvane.app";
        putPlist(root / "Info.plist", plist::Dict{{"CFBundleIdentifier", "com.tesk.Skyvane"},
                                                  {"CFBundleName", "Skyvane"},
                                                  {"CFBundleVersion", "2.1"},
                                                  {"CFBundleExecutable", "skyvane-app"},
                                                  {"CFBundleDevelopmentRegion", "en"}});
        put(root / "skyvane-app", "#!/bin/sh\n");
        put(root / "Resources/moonData.txt", "moon");
        put(root / "Resources/config/n1.conf", "conf");
        put(root / "Resources/gfx/conditions/sun.tif", "x");
        put(root / "Resources/gfx/status/kv2-1.png", "x");
        put(root / "Resources/gfx/status/kv2-x.png", "x");
        put(root / "Resources/gfx/status/notes.txt", "x");
        std::filesystem::create_directories(root / "Resources/gfx/status/sub");
        std::filesystem::create_directories(root / "Resources/Skyvane Setup.app");
        putPlist(root / "Resources/en.lproj/Skyvane.strings",
                 plist::Dict{{"update", "Update Now"}, {"updated", "Updated"}, {"credit", "Source"}});
        putPlist(root / "Resources/de.lproj/Skyvane.strings", plist::Dict{{"update", "Jetzt aktualisieren"}});
        put(root / "Resources/de.lproj/Credits.rtf", "Dank");
        put(root / "Resources/fr.lproj/Skyvane.strings", "damaged");
        env.set("LANGUAGE", nullptr);
        env.set("LC_ALL", nullptr);
        env.set("LC_MESSAGES", nullptr);
        env.set("LANG", nullptr);
    }

    TempDir dir;
    std::filesystem::path root;
    EnvScope env;
};

}  // namespace

TEST_F(BundleTest, FindsResourcesByNameTypeAndSubdirectory) {
    Bundle bundle(root.string() + "/");
    EXPECT_EQ(bundle.bundlePath(), root.string());
    EXPECT_EQ(bundle.pathForResource("moonData", "txt", ""), (root / "Resources/moonData.txt").string());
    EXPECT_EQ(bundle.pathForResource("n1", "conf", "config"), (root / "Resources/config/n1.conf").string());
    EXPECT_EQ(bundle.pathForResource("n1.conf", "", "config"), (root / "Resources/config/n1.conf").string());
    EXPECT_EQ(bundle.pathForResource("sun", "tif", "gfx/conditions"),
              (root / "Resources/gfx/conditions/sun.tif").string());
    // Folders are resources too (a program bundle inside this one).
    EXPECT_EQ(bundle.pathForResource("Skyvane Setup", "app", ""), (root / "Resources/Skyvane Setup.app").string());
    EXPECT_EQ(bundle.pathForResource("n2", "conf", "config"), "");
    EXPECT_EQ(bundle.pathForResource("", "", "config"), "");
    // Nothing outside the resources can be reached.
    EXPECT_EQ(bundle.pathForResource("../Info", "plist", ""), "");
    EXPECT_EQ(bundle.pathForResource("Info", "plist", ".."), "");
    EXPECT_EQ(bundle.pathForResource("passwd", "", "/etc"), "");

    std::vector<std::string> all = bundle.pathsForResourcesOfType("", "gfx/status");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(std::filesystem::path(all[0]).filename(), "kv2-1.png");
    EXPECT_EQ(bundle.pathsForResourcesOfType("png", "gfx/status").size(), 2u);
    EXPECT_TRUE(bundle.pathsForResourcesOfType("", "missing").empty());

    // The foundation's resource reader works over a bundle.
    EXPECT_EQ(readFile(bundle, "config/n1.conf"), "conf");
}

TEST_F(BundleTest, ReadsInfoValues) {
    Bundle bundle(root.string());
    EXPECT_EQ(bundle.bundleIdentifier(), "com.tesk.Skyvane");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleVersion").asString(), "2.1");
    EXPECT_TRUE(bundle.objectForInfoDictionaryKey("NSHumanReadableCopyright").isNone());
    EXPECT_EQ(bundle.executablePath(), (root / "skyvane-app").string());

    Bundle none(dir.file("Nothing.app"));
    EXPECT_TRUE(none.infoDictionary().empty());
    EXPECT_EQ(none.bundleIdentifier(), "");
    EXPECT_EQ(none.executablePath(), "");
}

TEST_F(BundleTest, LocalizesFromTheUsersLanguagesWithFallbacks) {
    env.set("LANG", "de_DE.UTF-8");
    Bundle german(root.string());
    EXPECT_EQ(german.preferredLocalizations(), (std::vector<std::string>{"de", "en"}));
    EXPECT_EQ(german.localizedString("update", "", "Skyvane"), "Jetzt aktualisieren");
    EXPECT_EQ(german.localizedString("updated", "", "Skyvane"), "Updated");  // from the development region
    EXPECT_EQ(german.localizedString("missing", "", "Skyvane"), "missing");
    EXPECT_EQ(german.localizedString("missing", "Fallback", "Skyvane"), "Fallback");
    EXPECT_EQ(german.localizedString("update", "", "NoSuchTable"), "update");
    EXPECT_EQ(german.pathForResource("Credits", "rtf", ""), (root / "Resources/de.lproj/Credits.rtf").string());

    // LANGUAGE comes first; a damaged table is logged and skipped.
    env.set("LANGUAGE", "fr_FR:de");
    Bundle french(root.string());
    EXPECT_EQ(french.preferredLocalizations(), (std::vector<std::string>{"fr", "de", "en"}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(french.localizedString("update", "", "Skyvane"), "Jetzt aktualisieren");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("fr.lproj"), std::string::npos);

    env.set("LANGUAGE", nullptr);
    env.set("LANG", "C");
    Bundle plain(root.string());
    EXPECT_EQ(plain.localizedString("update", "", "Skyvane"), "Update Now");
    EXPECT_EQ(plain.pathForResource("Credits", "rtf", ""), "");
}

TEST_F(BundleTest, MainBundleCanBeNamed) {
    Bundle& before = Bundle::mainBundle();
    EXPECT_FALSE(before.bundlePath().empty());
    Bundle::setMainBundlePath(root.string());
    EXPECT_EQ(Bundle::mainBundle().bundleIdentifier(), "com.tesk.Skyvane");
    EXPECT_FALSE(before.bundlePath().empty());  // still valid
}

namespace {

class FixedLocale : public UserLocale {
public:
    std::vector<std::string> shortWeekdayNames() const override { return {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}; }
    std::vector<std::string> thisDayDesignations() const override { return {"heute"}; }
    std::vector<std::string> nextDayDesignations() const override { return {"morgen"}; }
    std::string timeFormat() const override { return "%H:%M:%S"; }
    std::string dateFormat() const override { return "%d.%m.%Y"; }
};

}  // namespace

TEST(UserLocale, SystemDataComesFromTheCLibraryAndTestsCanReplaceIt) {
    SystemUserLocale system;  // ctest runs with LC_ALL=C
    EXPECT_EQ(system.shortWeekdayNames(), (std::vector<std::string>{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}));
    EXPECT_EQ(system.timeFormat(), "%H:%M:%S");
    EXPECT_EQ(system.dateFormat(), "%m/%d/%y");

    UserLocale::setCurrent(std::make_shared<FixedLocale>());
    EXPECT_EQ(UserLocale::current()->shortWeekdayNames()[1], "Mo");
    EXPECT_EQ(UserLocale::current()->thisDayDesignations()[0], "heute");
    UserLocale::setCurrent(nullptr);
    EXPECT_EQ(UserLocale::current()->nextDayDesignations()[0], "tomorrow");
}
