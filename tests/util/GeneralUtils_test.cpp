#include "util/GeneralUtils.h"

#include <gtest/gtest.h>

#include "support/CaptureStream.h"

using Strings = std::vector<std::string>;

TEST(GeneralUtils, Md5MatchesRfc1321Vectors) {
    EXPECT_EQ(GeneralUtils::md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(GeneralUtils::md5("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(GeneralUtils::md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(GeneralUtils::md5("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(GeneralUtils::md5("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(GeneralUtils::md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(GeneralUtils, DigestIntegersAndBuckets) {
    // md5("abc") starts 90 01 50 98: little-endian 0x98500190, negative as int32.
    EXPECT_EQ(GeneralUtils::md5Int("abc"), -static_cast<int>(static_cast<int32_t>(0x98500190u)));
    EXPECT_EQ(GeneralUtils::bucketize("abc", 1), 0);
    EXPECT_EQ(GeneralUtils::bucketize("abc", 0), 0);
    EXPECT_EQ(GeneralUtils::bucketize("abc", 7), static_cast<int>(0x98500190u % 7u));
}

TEST(GeneralUtils, Escaping) {
    EXPECT_EQ(GeneralUtils::xmlEscape("a&b<c>&"), "a&amp;b<c>&amp;");
    EXPECT_EQ(GeneralUtils::sqlEscape("it's"), "it\\'s");
    EXPECT_EQ(GeneralUtils::sqlEscape("it\\'s"), "it\\'s");
    EXPECT_EQ(GeneralUtils::sqlEscape("end\\"), "end");
}

TEST(GeneralUtils, NumbersAndWords) {
    EXPECT_EQ(GeneralUtils::strToInt(" 42abc"), 42);
    EXPECT_EQ(GeneralUtils::strToInt("abc"), 0);
    EXPECT_FLOAT_EQ(GeneralUtils::strToFloat("3.5 in"), 3.5f);
    EXPECT_EQ(GeneralUtils::valueOf(-7), "-7");
    EXPECT_EQ(GeneralUtils::valueOf(1.5f), "1.500000");
    EXPECT_EQ(GeneralUtils::removeWhitespace("  Partly cloudy"), "Partly");
    EXPECT_EQ(GeneralUtils::removeWhitespace(" 42 "), " 42 ");
    EXPECT_EQ(GeneralUtils::strToLower("AbC\xc9"), "abc\xc9");
    EXPECT_EQ(GeneralUtils::strToUpper("abc"), "ABC");
}

TEST(GeneralUtils, TextSurroundStaysInsideTheText) {
    EXPECT_EQ(GeneralUtils::getTextSurround(4, 2, "0123456789", 2), "234567");
    EXPECT_EQ(GeneralUtils::getTextSurround(1, 2, "0123456789", 3), "01234567");
    EXPECT_EQ(GeneralUtils::getTextSurround(8, 5, "0123456789", 1), "789");
    EXPECT_EQ(GeneralUtils::getTextSurround(50, 5, "0123456789", 1), "");
}

TEST(GeneralUtils, RemoveHtmlAndStringMatch) {
    EXPECT_EQ(GeneralUtils::removeHtml("a<b>c</b>d"), "acd");
    EXPECT_EQ(GeneralUtils::removeHtml("a<b"), "a");
    EXPECT_EQ(GeneralUtils::removeHtml("no tags"), "no tags");

    EXPECT_EQ(GeneralUtils::stringMatch("cat", "a cat", true), 2);
    EXPECT_EQ(GeneralUtils::stringMatch("cat", "a cats", true), -1);
    EXPECT_EQ(GeneralUtils::stringMatch("cat", "cat food", true), 0);
    EXPECT_EQ(GeneralUtils::stringMatch("cat", "bobcat cat", true), 7);
    EXPECT_EQ(GeneralUtils::stringMatch("cat", "bobcat", false), 3);
    EXPECT_EQ(GeneralUtils::stringMatch("dog", "cat", false), -1);
}

TEST(GeneralUtils, StrReplace) {
    std::string out = ">";
    GeneralUtils::strReplace("aXbXXc", "X", "--", out);
    EXPECT_EQ(out, ">a--b----c");
    out.clear();
    GeneralUtils::strReplace("aaa", "aa", "b", out);
    EXPECT_EQ(out, "ba");
    out.clear();
    GeneralUtils::strReplace("abc", "", "z", out);
    EXPECT_EQ(out, "abc");
}

TEST(GeneralUtils, Tags) {
    std::string name;
    StringMap attrs{{"stale", "x"}};
    ASSERT_TRUE(GeneralUtils::decomposeTag("<A HREF=\"x.html\" width=5 >", name, attrs));
    EXPECT_EQ(name, "a");
    EXPECT_EQ(attrs, (StringMap{{"href", "x.html"}, {"width", "5"}}));

    ASSERT_TRUE(GeneralUtils::decomposeTag("<A HREF=\"x.html\" width=5>", name, attrs));
    EXPECT_EQ(attrs["width"], "5>");

    ASSERT_TRUE(GeneralUtils::decomposeTag("<img src='a.gif?x=1'>", name, attrs));
    EXPECT_EQ(name, "img");
    EXPECT_EQ(attrs["src"], "a.gif?x=1");

    name = "kept";
    EXPECT_FALSE(GeneralUtils::decomposeTag("", name, attrs));
    EXPECT_EQ(name, "kept");

    EXPECT_EQ(GeneralUtils::rebuildTag("a", {{"href", "x"}, {"empty", ""}, {"id", "7"}}),
              "<a href=\"x\" id=\"7\" >");
}

TEST(GeneralUtils, HashText) {
    StringMap map{{"a", "1"}, {"b", "2"}};
    EXPECT_EQ(GeneralUtils::joinHash(map, ";", "="), "a=1;b=2;");
    StringMap back;
    GeneralUtils::splitHash("a=1;b=2;bad;c=3=4;", ";", "=", back);
    EXPECT_EQ(back, map);
    std::string printed;
    GeneralUtils::getStringMapPrintableRepresentation(printed, map);
    EXPECT_EQ(printed, "[a] => [1]\n[b] => [2]\n");
    EXPECT_EQ(GeneralUtils::getStringMapInt({{"n", "12"}}, "n"), 12);
    EXPECT_EQ(GeneralUtils::getStringMapInt({{"n", ""}}, "n"), 0);
    EXPECT_FLOAT_EQ(GeneralUtils::getStringMapFloat({{"f", "2.5"}}, "f"), 2.5f);
    EXPECT_EQ(GeneralUtils::getStringMap(map, "missing"), "");
}

TEST(GeneralUtils, Splitting) {
    Strings out;
    GeneralUtils::splitByStr("a,b,", ",", out);
    EXPECT_EQ(out, (Strings{"a", "b"}));
    out.clear();
    GeneralUtils::splitByStr(",a", ",", out);
    EXPECT_EQ(out, (Strings{"", "a"}));
    out.clear();
    GeneralUtils::splitByStr("a::b", "::", out);
    EXPECT_EQ(out, (Strings{"a", "b"}));
    out.clear();
    GeneralUtils::splitByStr("abc", "", out);
    EXPECT_TRUE(out.empty());

    out.clear();
    GeneralUtils::split("a1b22c", "[0-9]+", out);
    EXPECT_EQ(out, (Strings{"a", "b", "c"}));
    out.clear();
    CaptureStderr err;
    GeneralUtils::split("abc", "(", out);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(err.text().find("BAD REGEX : (. Not handling this."), std::string::npos);
}
