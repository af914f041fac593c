#include "model/MoonData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "support/CaptureStream.h"

namespace {

// One year block: day lines "d\t<January>\t<February>..." where January holds
// d / 100 and every other month m holds m / 100 + d / 10000.
std::string yearBlock(const std::string& header, int days = 31, int months = 12, const char* end = "\n") {
    std::ostringstream out;
    out << header << end;
    for (int d = 1; d <= days; ++d) {
        out << d;
        for (int m = 1; m <= months; ++m) {
            out << '\t';
            if (m == 1) {
                out << d / 100.0;
            } else {
                out << m / 100.0 + d / 10000.0;
            }
        }
        out << end;
    }
    return out.str();
}

}  // namespace

TEST(MoonData, YearBlocksAndLookups) {
    MoonData moon(yearBlock("2006") + yearBlock("whatever the header says"));
    EXPECT_EQ(moon.numYears(), 2u);
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(1, 5, 2006), 0.05f);
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(12, 31, 2007), 0.1231f);
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(4, 31, 2006), 0.0431f);  // the file gives a value
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(1, 1, 2008), 1.0f);
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(1, 1, 2005), 1.0f);
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(0, 5, 2006), 1.0f);
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(13, 5, 2006), 1.0f);
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(1, 0, 2006), 1.0f);
    // Day 32 of January is no day: it must not read 1 February.
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(1, 32, 2006), 1.0f);
}

TEST(MoonData, ShortLongAndEmptyFields) {
    // 11 month fields: December has no value.
    MoonData eleven(yearBlock("2006", 31, 11));
    EXPECT_FLOAT_EQ(eleven.getPercentageIlluminatedFor(11, 3, 2006), 0.1103f);
    EXPECT_FLOAT_EQ(eleven.getPercentageIlluminatedFor(12, 3, 2006), 1.0f);

    // 20 fields: the ones past December are ignored, nothing spills into the next day.
    std::string text = "2006\n1";
    for (int m = 1; m <= 20; ++m) text += "\t0.5";
    text += "\n2\t0.25\n";
    MoonData longLine(text);
    EXPECT_FLOAT_EQ(longLine.getPercentageIlluminatedFor(12, 1, 2006), 0.5f);
    EXPECT_FLOAT_EQ(longLine.getPercentageIlluminatedFor(1, 2, 2006), 0.25f);
    EXPECT_FLOAT_EQ(longLine.getPercentageIlluminatedFor(2, 2, 2006), 1.0f);

    // Empty and unreadable fields keep the months after them in place; a value
    // outside 0..1 is no fraction.
    MoonData gaps("2006\n30\t0.1\t\t0.3\tx\t0.5\t7\t-0.5\t0.75\n");
    const float expected[] = {0.1f, 1.0f, 0.3f, 1.0f, 0.5f, 1.0f, 1.0f, 0.75f, 1.0f};
    for (unsigned int month = 1; month <= 9; ++month) {
        EXPECT_FLOAT_EQ(gaps.getPercentageIlluminatedFor(month, 1, 2006), expected[month - 1]) << "month " << month;
    }
}

TEST(MoonData, LineEndsAndCutBlocks) {
    // Carriage returns end lines too.
    MoonData mac(yearBlock("2006", 31, 12, "\r") + yearBlock("2007", 31, 12, "\r"));
    EXPECT_EQ(mac.numYears(), 2u);
    EXPECT_FLOAT_EQ(mac.getPercentageIlluminatedFor(1, 31, 2007), 0.31f);

    // A carriage return and a line feed make an empty second line, which
    // throws every following line off by one.
    MoonData crlf(yearBlock("2006", 31, 12, "\r\n"));
    EXPECT_FLOAT_EQ(crlf.getPercentageIlluminatedFor(1, 1, 2006), 1.0f);
    EXPECT_FLOAT_EQ(crlf.getPercentageIlluminatedFor(1, 2, 2006), 0.01f);

    // A block cut short keeps the days read so far; text after the last line end is dropped.
    MoonData cut(yearBlock("2006") + yearBlock("2007", 3) + "4\t0.9");
    EXPECT_EQ(cut.numYears(), 2u);
    EXPECT_FLOAT_EQ(cut.getPercentageIlluminatedFor(1, 3, 2007), 0.03f);
    EXPECT_FLOAT_EQ(cut.getPercentageIlluminatedFor(1, 4, 2007), 1.0f);

    CaptureStderr err;
    MoonData empty("");
    EXPECT_EQ(err.text(), "Got no moonData.\n");
    EXPECT_FLOAT_EQ(empty.getPercentageIlluminatedFor(6, 15, 2010), 1.0f);
}

TEST(MoonData, ShippedTableMatchesKnownPhases) {
    std::ifstream in(SKYVANE_SOURCE_DIR "/resources/moonData.txt", std::ios::binary);
    ASSERT_TRUE(in) << "resources/moonData.txt is missing";
    std::ostringstream text;
    text << in.rdbuf();
    MoonData moon(text.str());
    ASSERT_GE(moon.numYears(), 35u);  // 2006 to 2040 at least

    // Full moons: 14 January 2006, 23 April 2024; new moons: 29 January 2006,
    // 8 April 2024 (the day of the total solar eclipse).
    EXPECT_GT(moon.getPercentageIlluminatedFor(1, 14, 2006), 0.98f);
    EXPECT_GT(moon.getPercentageIlluminatedFor(4, 23, 2024), 0.98f);
    EXPECT_LT(moon.getPercentageIlluminatedFor(1, 29, 2006), 0.02f);
    EXPECT_LT(moon.getPercentageIlluminatedFor(4, 8, 2024), 0.02f);
    // Waxing between them: a week after the new moon, about half lit.
    const float quarter = moon.getPercentageIlluminatedFor(4, 15, 2024);
    EXPECT_GT(quarter, 0.4f);
    EXPECT_LT(quarter, 0.7f);
    EXPECT_LT(moon.getPercentageIlluminatedFor(4, 14, 2024), quarter);
    // Dates that do not exist have no value; the last year is there in full
    // (a month without values would read 1.0 throughout).
    EXPECT_FLOAT_EQ(moon.getPercentageIlluminatedFor(2, 30, 2040), 1.0f);
    float darkest = 1.0f;
    for (unsigned int d = 1; d <= 31; ++d) darkest = std::min(darkest, moon.getPercentageIlluminatedFor(12, d, 2040));
    EXPECT_LT(darkest, 0.05f);
}
