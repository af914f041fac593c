#include "util/LocalizedFormat.h"

#include <gtest/gtest.h>

TEST(LocalizedFormat, FillsTextsAndNumbersInOrder) {
    EXPECT_EQ(formatWithArguments("About %@ %@", {"Skyvane", "1.2"}), "About Skyvane 1.2");
    EXPECT_EQ(formatWithArguments("About %@ %@", {"Skyvane", ""}), "About Skyvane ");
    EXPECT_EQ(formatWithArguments("at most %d, 100%%", {"6"}), "at most 6, 100%");
    EXPECT_EQ(formatWithArguments("%@ and %@", {"one"}), "one and ");
    EXPECT_EQ(formatWithArguments("50% off%", {}), "50% off%");
    EXPECT_EQ(formatWithArguments("%i of %u", {"1", "2", "3"}), "1 of 2");
}
