#include <gtest/gtest.h>

#include "app/RefreshTimer.h"
#include "support/CommaLocale.h"

// The menu controller reads the preference map with a decimal point whatever
// the user's locale.
TEST(CommaLocale, PreferenceMapKeepsTheDecimalPoint) {
    CommaLocale german;
    ASSERT_TRUE(german.active()) << "de_DE.UTF-8 could neither be found nor compiled";
    plist::Dict prefs;
    prefs["saturation"] = plist::Value(0.5);
    prefs["update_frequency"] = plist::Value(30);
    const StringMap map = RefreshTimer::preferencesToStringMap(prefs);
    EXPECT_EQ(map.at("saturation"), "0.500000");
    EXPECT_EQ(map.at("update_frequency"), "30");
}
