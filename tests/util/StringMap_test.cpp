#include "util/StringMap.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "support/CaptureStream.h"
#include "util/Mapping.h"

TEST(StringMap, TypedReadersAndDefaults) {
    StringMap map{{"empty", ""}, {"n", "17"}, {"word", "abc"}, {"f", "2.25"}};
    EXPECT_EQ(getHash(map, "absent", "x"), "x");
    EXPECT_EQ(getHash(map, "empty", "x"), "");
    EXPECT_EQ(getHashInt(map, "empty", 9), 9);
    EXPECT_EQ(getHashInt(map, "absent", 9), 9);
    EXPECT_EQ(getHashInt(map, "n", 9), 17);
    EXPECT_EQ(getHashInt(map, "word", 9), 0);
    EXPECT_FLOAT_EQ(getHashFloat(map, "f", 1.0f), 2.25f);
    EXPECT_FLOAT_EQ(getHashFloat(map, "empty", 1.5f), 1.5f);
}

TEST(StringMap, Colors) {
    float rgba[4] = {0, 0, 0, 0};
    getHashGLColor({{"c", "0.5 , 0.25,1, 0"}}, "c", rgba);
    EXPECT_FLOAT_EQ(rgba[0], 0.5f);
    EXPECT_FLOAT_EQ(rgba[1], 0.25f);
    EXPECT_FLOAT_EQ(rgba[2], 1.0f);
    EXPECT_FLOAT_EQ(rgba[3], 0.0f);

    CaptureStdout out;
    getHashGLColor({{"c", "0.5,0.5"}}, "c", rgba);
    EXPECT_EQ(out.text(), "Could not read GLColor [c] -> [0.5,0.5]\n");
    for (float v : rgba) EXPECT_FLOAT_EQ(v, 1.0f);
}

TEST(StringMap, LongConversions) {
    bool ok = false;
    EXPECT_EQ(stringToLong("  -12x", ok), -12);
    EXPECT_TRUE(ok);
    EXPECT_EQ(stringToLong("x", ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(longToString(LONG_MAX), "9223372036854775807");
    EXPECT_EQ(longToString(-5), "-5");
}

TEST(StringMap, StreamForms) {
    std::ostringstream os;
    os << StringMap{{"b", "2"}, {"a", "1"}};
    EXPECT_EQ(os.str(), "a -> 1\nb -> 2\n");
    os.str("");
    os << std::vector<StringMap>{{{"k", "v"}}};
    EXPECT_EQ(os.str(), "ELEMENT 0\nk -> v\n");
    os.str("");
    os << std::vector<std::string>{"x"};
    EXPECT_EQ(os.str(), "printing gVector\nvector[0] = x\n");
}

TEST(Mapping, ForwardReverseAndLaterRowsWin) {
    Mapping::StringPair rows[] = {{"a", "1"}, {"b", "1"}, {"c", "3"}, {nullptr, nullptr}};
    Mapping forward(rows, false);
    EXPECT_EQ(forward.get("a"), "1");
    EXPECT_EQ(forward.get("zz"), "");
    EXPECT_EQ(forward.size(), 3u);
    Mapping reverse(rows, true);
    EXPECT_EQ(reverse.get("1"), "b");
    EXPECT_EQ(reverse.begin()->first, "1");
    Mapping none(nullptr, false);
    EXPECT_EQ(none.begin(), none.end());
}
