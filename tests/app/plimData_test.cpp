#include "app/plimData.h"

#include <gtest/gtest.h>

TEST(plimData, KeepsOneTablePerCityInNameOrder) {
    plimData data;
    plimData::Table table{{"stale", "x"}};
    EXPECT_FALSE(data.getHash("Austin", table));
    EXPECT_EQ(table, (plimData::Table{{"stale", "x"}}));  // left as it was

    data.setHash("Denver", {{"temp", "40"}});
    data.setHash("Austin", {{"temp", "80"}, {"cond", "Sunny"}});
    data.setHash("Denver", {{"cond", "Snow"}});  // replaces, does not merge

    std::vector<std::string> cities{"left over"};
    data.getCities(cities);
    EXPECT_EQ(cities, (std::vector<std::string>{"Austin", "Denver"}));
    ASSERT_TRUE(data.getHash("Denver", table));
    EXPECT_EQ(table, (plimData::Table{{"cond", "Snow"}}));

    data.clearData();
    data.getCities(cities);
    EXPECT_TRUE(cities.empty());
    EXPECT_FALSE(data.getHash("Austin", table));
}
