#include "util/plist/Value.h"

#include <gtest/gtest.h>

using plist::Value;

TEST(PlistValue, NumbersCompareByValue) {
    EXPECT_EQ(Value(1), Value(1.0));
    EXPECT_EQ(Value(true), Value(1));
    EXPECT_EQ(Value(false), Value(0.0));
    EXPECT_NE(Value(2), Value(true));
    EXPECT_NE(Value(1), Value("1"));
    EXPECT_EQ(Value(int64_t{1} << 62), Value(int64_t{1} << 62));
    EXPECT_NE(Value((int64_t{1} << 62) + 1), Value(int64_t{1} << 62));
    EXPECT_NE(Value(), Value(0));
    EXPECT_EQ(Value(), Value());
}

TEST(PlistValue, TypedReadsFallBack) {
    Value s("abc");
    EXPECT_EQ(s.asString(), "abc");
    EXPECT_EQ(s.asInt(7), 7);
    EXPECT_TRUE(s.asDict().empty());
    EXPECT_EQ(Value(2.9).asInt(), 2);
    EXPECT_TRUE(Value(3).asBool());
    EXPECT_EQ(Value(5).stringOr("x"), "x");
    EXPECT_EQ(Value(plist::Date{12.5}).asDate().seconds, 12.5);
    EXPECT_EQ(Value(plist::Data{1, 2}).asData().size(), 2u);
}

TEST(PlistValue, NestedContainers) {
    Value root;
    root["name"] = "Boston";
    root["list"].array().push_back(Value(plist::Dict{{"a", 1}}));
    EXPECT_TRUE(root.isDict());
    EXPECT_EQ(root.get("name").asString(), "Boston");
    EXPECT_TRUE(root.get("missing").isNone());
    EXPECT_FALSE(root.has("missing"));
    EXPECT_EQ(root.get("list").asArray().at(0).get("a"), Value(1.0));
    Value copy = root;
    EXPECT_EQ(copy, root);
    copy["name"] = "Paris";
    EXPECT_NE(copy, root);
    EXPECT_TRUE(Value(3).get("x").isNone());
}
