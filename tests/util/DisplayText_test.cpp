#include "util/DisplayText.h"

#include <gtest/gtest.h>

TEST(DisplayText, Utf8PassesAndOtherBytesAreMacRoman) {
    EXPECT_EQ(toDisplayText("72\xA1"), "72\xC2\xB0");  // the degree sign
    EXPECT_EQ(toDisplayText("Montr\xC3\xA9" "al"), "Montr\xC3\xA9" "al");
    EXPECT_EQ(toDisplayText("\x8E" "t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");  // mixed
    EXPECT_EQ(toDisplayText("\xC3"), "\xE2\x88\x9A");  // a cut-off sequence is one Mac Roman byte
    EXPECT_EQ(toDisplayText("\xED\xA0\x80"), "\xC3\x8C\xE2\x80\xA0\xC3\x84");  // no surrogates
    EXPECT_EQ(toDisplayText(""), "");
    const std::string once = toDisplayText("\xA1\xFF\x80");
    EXPECT_EQ(toDisplayText(once), once);
}
