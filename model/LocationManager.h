#pragma once
// The user's ordered list of cities and the rules between them: one primary
// city whenever the list is not empty, a counted set of favorites, and a
// list sorted by name without duplicates when it is built.

#include <ostream>
#include <string>
#include <vector>

#include "model/Location.h"

class LocationManager {
public:
    // Sorts and merges the list when it is out of order, then makes sure
    // exactly one location is primary (the first favorite, else the first
    // location). An empty list gives an empty manager.
    explicit LocationManager(const std::vector<Location>& list);

    int numLocations() const { return static_cast<int>(locations_.size()); }
    unsigned int numFavorites() const { return favoritesCount_; }

    // The list itself; callers read and change it in place.
    std::vector<Location>& locationList() { return locations_; }
    const std::vector<Location>& locationList() const { return locations_; }

    // Location i; location 0 when i is out of range. On an empty list the
    // answer is an empty placeholder that belongs to no list (changes made
    // to it are dropped at the next call).
    Location& locationAtIndex(unsigned int i);
    const Location& locationAtIndex(unsigned int i) const;

    // The index of the first primary location, 0 when there is none.
    unsigned int primaryIndex() const;
    // The primary location (the empty placeholder on an empty list).
    Location& primaryLocation() { return locationAtIndex(primaryIndex()); }
    const Location& primaryLocation() const { return locationAtIndex(primaryIndex()); }

    bool isPrimaryLocation(const Location& location) const;
    bool isFavoriteLocation(const Location& location) const;
    // False for an index out of range.
    bool isPrimaryAtIndex(unsigned int i) const;
    bool isFavoriteAtIndex(unsigned int i) const;
    // 0 for an index out of range.
    int locStatusAtIndex(unsigned int i) const;
    // The name, or "error" for an index out of range.
    std::string locNameAtIndex(unsigned int i) const;
    // The first index at or after i of a favorite that is not primary, or -1.
    int nextFavoriteIndexAtOrAfter(unsigned int i) const;

    // Flip the primary or favorite bit (statuses outside 0..3 stay as they
    // are). The favorite toggles keep the favorites count.
    void togglePrimaryStatus(Location& location);
    void toggleFavoriteStatus(Location& location);
    // The same on location i; no effect out of range.
    void togglePrimaryStatus(unsigned int i);
    void toggleFavoriteStatus(unsigned int i);

    // Moves the primary bit to location i (no effect out of range).
    void makePrimary(unsigned int i);
    // Inserts the location in name order (case-insensitive), or merges its
    // service keys into the entry of the same name; either way that entry
    // becomes the primary city.
    void addLocation(const Location& location);
    // Removes location i unless it is the last one or out of range; the
    // primary bit passes to the first favorite, else to location 0.
    void removeLocationAtIndex(unsigned int i);
    // Writes every service key of `from` into `into`, replacing keys of the
    // same source; everything else of `into` stays.
    static void mergeServiceToKeys(Location& into, const Location& from);
    // Sorts by name (byte order) and merges locations of the same name.
    void sortLocations();

private:
    std::vector<Location> locations_;
    std::string outOfRangeName_ = "error";
    unsigned int favoritesCount_ = 0;
    Location placeholder_;  // answered by the accessors on an empty list
};

// "Element i: " and the location, for each location.
std::ostream& operator<<(std::ostream& os, const LocationManager& manager);
std::ostream& operator<<(std::ostream& os, const std::vector<Location>& list);
