// Every key the program looks up in a strings table is in the English
// tables: the keys written in the code, the warning types and severities the
// weather service scraper reports, the detail lines' labels and the
// condition names of the weather-code map.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "model/PreferenceKeys.h"
#include "platform/PlistFile.h"

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> tableKeys(const std::string& table) {
    plist::Value value;
    std::string error;
    const fs::path path = fs::path(SKYVANE_SOURCE_DIR) / "resources" / "en.lproj" / (table + ".strings");
    EXPECT_TRUE(plist::parse(readText(path), value, error)) << path << ": " << error;
    std::set<std::string> keys;
    if (value.isDict())
        for (const auto& [key, text] : value.asDict()) keys.insert(key);
    return keys;
}

// The first group of every match of `pattern` in the source files of the folders.
std::set<std::string> matches(const std::vector<std::string>& folders, const std::string& pattern) {
    const std::regex re(pattern);
    std::set<std::string> found;
    for (const std::string& folder : folders)
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(SKYVANE_SOURCE_DIR) / folder)) {
            if (entry.path().extension() != ".cpp") continue;
            const std::string text = readText(entry.path());
            for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
                found.insert((*it)[1].str());
        }
    return found;
}

std::set<std::string> missingFrom(const std::set<std::string>& asked, const std::set<std::string>& table) {
    std::set<std::string> missing;
    for (const auto& key : asked)
        if (!table.count(key)) missing.insert(key);
    return missing;
}

using Keys = std::set<std::string>;

}  // namespace

TEST(StringsTables, EveryKeyTheCodeAsksForIsInTheEnglishTables) {
    const Keys skyvane = tableKeys("Skyvane");
    const Keys util = tableKeys("Util");
    const std::vector<std::string> code = {"app", "menu", "setup", "standalone"};

    // Keys written in the code, with their table.
    Keys askedSkyvane = matches(code, R"re(locali[sz]ed(?:String)?\("([^"]+)",(?: "[^"]*",)? "Skyvane"\))re");
    Keys askedUtil = matches(code, R"re(locali[sz]ed(?:String)?\("([^"]+)",(?: "[^"]*",)? "Util"\))re");
    // The status menu's own look-ups go to "Skyvane", the utility controller's to "Util".
    for (const auto& key : matches({"menu"}, R"re(localized\("([^"]+)"\))re")) askedSkyvane.insert(key);
    for (const auto& key : matches({"menu"}, R"re(setConditionItem\([a-z]+, "([^"]+)")re")) askedSkyvane.insert(key);
    for (const auto& key : matches({"app"}, R"re(\blocalized\("([^"]+)"\))re")) askedUtil.insert(key);
    for (const auto& key : matches({"app"}, R"re(showEmailError\("([^"]+)")re")) askedUtil.insert(key);
    EXPECT_TRUE(askedSkyvane.count("update") && askedSkyvane.count("updated") && askedSkyvane.count("Radar"));
    EXPECT_TRUE(askedUtil.count("quit") && askedUtil.count("emailInvalidError"));

    // Warning types and severities as the weather service scraper reports them.
    const Keys warningTypes = matches({"scrapers"}, R"re(\btype = "([a-z]+)")re");
    const Keys severities = matches({"scrapers"}, R"re(\bseverity = "([a-z]+)")re");
    EXPECT_EQ(warningTypes, (Keys{"flood", "freeze", "nado", "tstorms"}));
    EXPECT_EQ(severities, (Keys{"warning", "watch"}));
    askedSkyvane.insert(warningTypes.begin(), warningTypes.end());
    askedSkyvane.insert(severities.begin(), severities.end());

    // Labels of the detail lines.
    for (const char* key : {kFeelsLike, kHumidity, kWind, kBarometer, kVisibility, kSunriseSunset, kDewpoint, "datafrom"})
        askedSkyvane.insert(key);

    // Condition names of the weather-code map.
    plist::Value map;
    std::string error;
    ASSERT_TRUE(plist::parse(readText(fs::path(SKYVANE_SOURCE_DIR) / "resources" / "WeatherCodeMap.plist"), map, error));
    ASSERT_TRUE(map.isDict());
    for (const auto& [code, entry] : map.asDict()) askedSkyvane.insert(entry.get("DescriptionString").stringOr(""));
    askedSkyvane.erase("");

    EXPECT_EQ(missingFrom(askedSkyvane, skyvane), Keys{});
    EXPECT_EQ(missingFrom(askedUtil, util), Keys{});
}
