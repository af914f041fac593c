#include "scrapers/numberedKeys.h"

#include <gtest/gtest.h>

TEST(NumberedKeys, ComposeReadAndWrite) {
    EXPECT_EQ(numberedKeys::composeNumberedKey("url", 10), "url-10");
    EXPECT_EQ(numberedKeys::composeNumberedKey("fav", 0), "fav-0");

    std::vector<std::string> values;
    EXPECT_EQ(numberedKeys::getNumberedKeys({{"url-1", "a"}, {"url-2", "b"}, {"url-4", "d"}, {"url", "x"}}, "url",
                                            values),
              2);
    EXPECT_EQ(values, (std::vector<std::string>{"a", "b"}));
    values.clear();
    EXPECT_EQ(numberedKeys::getNumberedKeys({{"url", "x"}}, "url", values), 1);
    EXPECT_EQ(values, (std::vector<std::string>{"x"}));
    EXPECT_EQ(numberedKeys::getNumberedKeys({{"url", ""}}, "url", values), 0);
    StringMap many;
    for (int i = 1; i <= 120; ++i) many[numberedKeys::composeNumberedKey("k", i)] = "v";
    values.clear();
    EXPECT_EQ(numberedKeys::getNumberedKeys(many, "k", values), 100);

    StringMap table{{"day-1", "Mon"}, {"day-2", "Tue"}, {"day-3", "Wed"}, {"day-4", "Thu"}};
    numberedKeys::setNumberedKeys(table, "day", {"Later", "Mon"});
    EXPECT_EQ(table, (StringMap{{"day-1", "Later"}, {"day-2", "Mon"}, {"day-4", "Thu"}}));
}
