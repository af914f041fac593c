#include "menu/PlimMenuItem.h"

#include <gtest/gtest.h>

#include "support/CaptureStream.h"

TEST(PlimMenuItem, TypeOverloadStoresOnlyUnderTheTypeKey) {
    PlimMenuItem item;
    item.set(PlimMenuItem::TypeKey, PlimMenuItem::Radar);
    EXPECT_EQ(item.get("type"), "9");

    CaptureStderr err;
    item.set(PlimMenuItem::ItemKey, PlimMenuItem::Radar);
    EXPECT_EQ(err.text(), "PlimMenuItem::set, cannot set key=[item] to PlimMenuItem::Type!\n");
    EXPECT_EQ(item.getHash().count("item"), 0u);
    EXPECT_EQ(item.getHash().size(), 1u);
}

TEST(PlimMenuItem, NumbersAsDecimalTextAndGetLeavesTheMapAlone) {
    PlimMenuItem item;
    item.setFloat(PlimMenuItem::SaturationKey, 0.5f);
    item.set(PlimMenuItem::CurMinKey, 1400ul);
    item.set(PlimMenuItem::URLKey, "http://a");
    item.set(PlimMenuItem::URLKey, std::string("http://b"));
    EXPECT_EQ(item.get("sat"), "0.500000");
    EXPECT_EQ(item.get("curMin"), "1400");
    EXPECT_EQ(item.get("url"), "http://b");

    EXPECT_EQ(item.get("wc"), "");
    EXPECT_EQ(item.getHash().count("wc"), 0u);
    EXPECT_EQ(item.getHash().size(), 3u);
}

TEST(PlimMenuItem, CopiesAreIndependent) {
    PlimMenuItem a;
    a.set(PlimMenuItem::ItemKey, "cityName");
    PlimMenuItem b = a;
    b.set(PlimMenuItem::ItemKey, "fav-0");
    EXPECT_EQ(a.get("item"), "cityName");
    EXPECT_EQ(b.get("item"), "fav-0");
}
