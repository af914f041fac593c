#include "model/LocationManager.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/CaptureStream.h"

namespace {

Location loc(const std::string& name, int status = Location::kPlain, StringMap keys = {}) {
    Location l;
    l.name = name;
    l.status = status;
    l.serviceKeys = std::move(keys);
    return l;
}

std::string names(const LocationManager& m) {
    std::string out;
    for (const Location& l : m.locationList()) out += l.name + "/" + std::to_string(l.status) + " ";
    return out;
}

}  // namespace

TEST(LocationManager, ConstructionSortsAndChoosesOnePrimary) {
    LocationManager m({loc("Boston", Location::kFavorite), loc("Austin")});
    EXPECT_EQ(names(m), "Austin/0 Boston/3 ");
    EXPECT_EQ(m.numFavorites(), 1u);
    EXPECT_EQ(m.primaryIndex(), 1u);

    // Two primaries: the first keeps the bit, a primary favorite becomes a favorite.
    LocationManager two({loc("Austin", Location::kPrimary), loc("Boston", Location::kPrimaryFavorite)});
    EXPECT_EQ(names(two), "Austin/1 Boston/2 ");
    EXPECT_EQ(two.numFavorites(), 1u);

    // No primary and no favorite: the first location.
    LocationManager plain({loc("Austin"), loc("Boston")});
    EXPECT_EQ(names(plain), "Austin/1 Boston/0 ");
    EXPECT_EQ(plain.numFavorites(), 0u);

    // Already in byte order: the same name twice in a row is not merged.
    LocationManager ordered({loc("Denver"), loc("Denver", Location::kFavorite)});
    EXPECT_EQ(names(ordered), "Denver/0 Denver/3 ");

    // Byte order is case-sensitive: "austin" sorts after "Boston".
    LocationManager cased({loc("austin"), loc("Boston")});
    EXPECT_EQ(names(cased), "Boston/1 austin/0 ");
}

TEST(LocationManager, SortingMergesDuplicateNames) {
    LocationManager keys({loc("Denver", Location::kFavorite, {{"nws", "K1"}}), loc("Austin"),
                          loc("Denver", Location::kPlain, {{"nws", "K2"}, {"ug", "K3"}})});
    ASSERT_EQ(names(keys), "Austin/0 Denver/3 ");
    EXPECT_EQ(keys.locationAtIndex(1).serviceKeys, (StringMap{{"nws", "K2"}, {"ug", "K3"}}));
    EXPECT_EQ(keys.numFavorites(), 1u);

    EXPECT_EQ(names(LocationManager({loc("Denver"), loc("Austin"), loc("Denver", Location::kFavorite)})),
              "Austin/0 Denver/3 ");
    LocationManager twoFavorites(
        {loc("Denver", Location::kFavorite), loc("Austin"), loc("Denver", Location::kFavorite)});
    EXPECT_EQ(names(twoFavorites), "Austin/0 Denver/3 ");
    EXPECT_EQ(twoFavorites.numFavorites(), 1u);
    EXPECT_EQ(names(LocationManager({loc("Denver", Location::kPrimary), loc("Austin"),
                                     loc("Denver", Location::kFavorite)})),
              "Austin/0 Denver/3 ");
}

TEST(LocationManager, EmptyListIsSafe) {
    CaptureStderr err;
    LocationManager m({});
    EXPECT_EQ(err.text(), "Empty locationList!!!\n");
    EXPECT_EQ(m.numLocations(), 0);
    EXPECT_EQ(m.numFavorites(), 0u);
    EXPECT_EQ(m.primaryIndex(), 0u);
    EXPECT_EQ(m.locNameAtIndex(0), "error");
    EXPECT_EQ(m.nextFavoriteIndexAtOrAfter(0), -1);
    EXPECT_FALSE(m.isPrimaryAtIndex(0));
    // The placeholder answers and does not keep what a caller wrote into it.
    m.primaryLocation().name = "written";
    EXPECT_EQ(m.locationAtIndex(3).name, "");
    const LocationManager& cm = m;
    EXPECT_EQ(cm.primaryLocation().status, 0);
    m.makePrimary(0);
    m.removeLocationAtIndex(0);
    m.togglePrimaryStatus(0u);
    m.toggleFavoriteStatus(0u);
    EXPECT_EQ(m.numLocations(), 0);

    m.addLocation(loc("Chicago"));
    EXPECT_EQ(names(m), "Chicago/1 ");
}

TEST(LocationManager, IndexesOutOfRangeAreAbsorbed) {
    LocationManager m({loc("Austin", Location::kPrimaryFavorite), loc("Boston", Location::kFavorite)});
    EXPECT_EQ(m.locNameAtIndex(2), "error");
    EXPECT_EQ(m.locationAtIndex(7).name, "Austin");
    EXPECT_EQ(m.locStatusAtIndex(2), 0);
    EXPECT_FALSE(m.isFavoriteAtIndex(2));
    EXPECT_EQ(m.nextFavoriteIndexAtOrAfter(0), 1);  // the primary favorite is handled as the primary
    EXPECT_EQ(m.nextFavoriteIndexAtOrAfter(2), -1);
    m.makePrimary(5);
    EXPECT_EQ(m.primaryIndex(), 0u);
}

TEST(LocationManager, TogglesKeepTheFavoritesCount) {
    LocationManager m({loc("Austin"), loc("Boston")});
    m.toggleFavoriteStatus(1u);
    EXPECT_EQ(m.locStatusAtIndex(1), 2);
    m.toggleFavoriteStatus(0u);
    EXPECT_EQ(m.locStatusAtIndex(0), 3);
    EXPECT_EQ(m.numFavorites(), 2u);
    m.toggleFavoriteStatus(0u);
    EXPECT_EQ(m.locStatusAtIndex(0), 1);
    EXPECT_EQ(m.numFavorites(), 1u);
    m.togglePrimaryStatus(1u);
    EXPECT_EQ(m.locStatusAtIndex(1), 3);
    m.togglePrimaryStatus(1u);
    EXPECT_EQ(m.locStatusAtIndex(1), 2);

    Location odd = loc("Odd", 7);
    m.toggleFavoriteStatus(odd);
    m.togglePrimaryStatus(odd);
    EXPECT_EQ(odd.status, 7);
    EXPECT_EQ(m.numFavorites(), 1u);

    // Turning off a favorite the count does not know never wraps the count.
    LocationManager none({loc("Austin")});
    Location outside = loc("Elsewhere", Location::kFavorite);
    none.toggleFavoriteStatus(outside);
    EXPECT_EQ(none.numFavorites(), 0u);
}

TEST(LocationManager, AddingMergesOrInsertsAndMakesPrimary) {
    LocationManager m({loc("Austin", Location::kPrimary), loc("Boston", Location::kPlain, {{"nws", "B1"}})});
    m.addLocation(loc("boston", Location::kPlain, {{"ug", "B2"}}));
    EXPECT_EQ(names(m), "Austin/0 Boston/1 ");
    EXPECT_EQ(m.locationAtIndex(1).serviceKeys, (StringMap{{"nws", "B1"}, {"ug", "B2"}}));

    m.addLocation(loc("Chicago"));
    EXPECT_EQ(names(m), "Austin/0 Boston/0 Chicago/1 ");
    m.addLocation(loc("Abilene"));
    EXPECT_EQ(names(m), "Abilene/1 Austin/0 Boston/0 Chicago/0 ");

    // A location that brings the primary bit does not leave two primaries,
    // and one that brings the favorite bit is counted.
    m.addLocation(loc("Aaron", Location::kPrimaryFavorite));
    EXPECT_EQ(names(m), "Aaron/3 Abilene/0 Austin/0 Boston/0 Chicago/0 ");
    EXPECT_EQ(m.numFavorites(), 1u);
}

TEST(LocationManager, RemovingHandsOnThePrimaryBit) {
    LocationManager one({loc("Austin")});
    one.removeLocationAtIndex(0);
    EXPECT_EQ(one.numLocations(), 1);

    LocationManager m({loc("Austin", Location::kPrimary), loc("Boston"), loc("Chicago", Location::kFavorite)});
    m.removeLocationAtIndex(5);
    EXPECT_EQ(m.numLocations(), 3);
    m.removeLocationAtIndex(0);
    EXPECT_EQ(names(m), "Boston/0 Chicago/3 ");
    EXPECT_EQ(m.numFavorites(), 1u);
    m.removeLocationAtIndex(1);
    EXPECT_EQ(names(m), "Boston/1 ");
    EXPECT_EQ(m.numFavorites(), 0u);
}

TEST(LocationManager, MakePrimaryAndMergeKeys) {
    LocationManager m({loc("Austin", Location::kPrimaryFavorite), loc("Boston", Location::kFavorite)});
    m.makePrimary(1);
    EXPECT_EQ(names(m), "Austin/2 Boston/3 ");
    m.makePrimary(1);
    EXPECT_EQ(names(m), "Austin/2 Boston/3 ");

    Location into = loc("Austin", Location::kFavorite, {{"nws", "A"}, {"aol", "B"}});
    LocationManager::mergeServiceToKeys(into, loc("Other", Location::kPrimary, {{"aol", "C"}, {"usa", "D"}}));
    EXPECT_EQ(into.name, "Austin");
    EXPECT_EQ(into.status, Location::kFavorite);
    EXPECT_EQ(into.serviceKeys, (StringMap{{"nws", "A"}, {"aol", "C"}, {"usa", "D"}}));
}

TEST(LocationManager, Printing) {
    LocationManager m({loc("Austin", Location::kPlain, {{"nws", "K"}})});
    std::ostringstream os;
    os << m;
    EXPECT_EQ(os.str(), "Element 0: LOCATION [Austin] (status 1)\nnws -> K\n");
}
