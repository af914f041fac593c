#include "model/LocationManagerMac.h"

#include <gtest/gtest.h>

#include "model/LocationManager.h"
#include "support/CaptureStream.h"

TEST(LocationPlist, RoundTripKeepsNamesStatusesAndKeys) {
    Location austin;
    austin.name = "Austin, TX";
    austin.status = Location::kPrimaryFavorite;
    austin.serviceKeys = {{"nws", "TX/austin"}, {"ug", "key_not_in_db"}};
    austin.lastUpdate = 1234;
    Location boston;
    boston.name = "Boston, MA";

    plist::Value array = LocationManagerMac::arrayFromLocationList({austin, boston});
    ASSERT_TRUE(array.isArray());
    ASSERT_EQ(array.asArray().size(), 2u);
    const plist::Value& first = array.asArray()[0];
    EXPECT_EQ(first.get("city"), plist::Value("Austin, TX"));
    EXPECT_EQ(first.get("locStatus").type(), plist::Value::Type::Integer);
    EXPECT_EQ(first.get("locStatus"), plist::Value(3));
    EXPECT_EQ(first.get("nws"), plist::Value("TX/austin"));
    EXPECT_EQ(first.asDict().size(), 4u);  // the last update is not stored

    std::vector<Location> list{boston};  // appended to, not cleared
    LocationManagerMac::arrayToLocationList(array, list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].name, "Austin, TX");
    EXPECT_EQ(list[1].status, 3);
    EXPECT_EQ(list[1].serviceKeys, austin.serviceKeys);
    EXPECT_EQ(list[1].lastUpdate, 0);
    EXPECT_EQ(list[2].name, "Boston, MA");
}

TEST(LocationPlist, OlderAndIncompleteDictionaries) {
    Location l;
    LocationManagerMac::dictionaryToLocation(plist::Dict{{"cityID", "USTX0057"}, {"locStatus", 2}}, l);
    EXPECT_EQ(l.name, "unset");
    EXPECT_EQ(l.status, 2);
    EXPECT_EQ(l.serviceKeys, (StringMap{{"aol", "USTX0057"}}));

    // A stored "aol" key is newer than "cityID" and wins.
    Location both;
    LocationManagerMac::dictionaryToLocation(plist::Dict{{"city", "Austin"}, {"cityID", "OLD"}, {"aol", "NEW"}}, both);
    EXPECT_EQ(both.serviceKeys, (StringMap{{"aol", "NEW"}}));

    // The key map is not cleared; name and status are.
    Location reused;
    reused.name = "Before";
    reused.status = 3;
    reused.serviceKeys = {{"usa", "U"}};
    LocationManagerMac::dictionaryToLocation(plist::Dict{{"nws", "N"}}, reused);
    EXPECT_EQ(reused.name, "unset");
    EXPECT_EQ(reused.status, 0);
    EXPECT_EQ(reused.serviceKeys, (StringMap{{"nws", "N"}, {"usa", "U"}}));
}

TEST(LocationPlist, DamagedEntriesAreSkippedAndLogged) {
    plist::Array stored{
        plist::Dict{{"city", 42}, {"locStatus", "2"}, {"nws", plist::Array{}}, {"ug", "G"}},
        "not a location",
        plist::Dict{{"city", "Boston"}, {"locStatus", 9}, {"cityID", 57}},
        plist::Dict{{"city", "Chicago"}, {"locStatus", 1.0}},
        plist::Dict{{"city", "Denver"}, {"locStatus", "two"}},
        plist::Dict{{"city", "Erie"}, {"locStatus", "12"}},
    };
    std::vector<Location> list;
    CaptureStderr err;
    LocationManagerMac::arrayToLocationList(stored, list);
    std::string log = err.text();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].name, "unset");
    // A status stored as a text of digits is read as its number.
    EXPECT_EQ(list[0].status, 2);
    EXPECT_EQ(list[0].serviceKeys, (StringMap{{"ug", "G"}}));
    EXPECT_EQ(list[1].name, "Boston");
    EXPECT_EQ(list[1].status, 0);
    EXPECT_TRUE(list[1].serviceKeys.empty());
    EXPECT_EQ(list[2].status, 1);
    EXPECT_EQ(list[3].status, 0);
    EXPECT_EQ(list[4].status, 0);
    EXPECT_NE(log.find("skipping the name of a location: an integer"), std::string::npos) << log;
    EXPECT_NE(log.find("skipping the status of a location: a string"), std::string::npos) << log;
    EXPECT_NE(log.find("skipping location 1: a string"), std::string::npos) << log;
    EXPECT_NE(log.find("status 9"), std::string::npos) << log;
    EXPECT_NE(log.find("status 12"), std::string::npos) << log;
    EXPECT_NE(log.find("\"cityID\""), std::string::npos) << log;

    // A preference that is not a list at all adds nothing; an absent one says nothing.
    CaptureStderr err2;
    LocationManagerMac::arrayToLocationList(plist::Value("oops"), list);
    LocationManagerMac::arrayToLocationList(plist::Value(), list);
    EXPECT_EQ(list.size(), 5u);
    EXPECT_EQ(err2.text(), "Locations: skipping the location list: a string, not an array\n");

    // The damaged list still makes a sound manager.
    LocationManager m(list);
    EXPECT_EQ(m.numLocations(), 5);
    EXPECT_TRUE(m.isPrimaryAtIndex(m.primaryIndex()));
}
