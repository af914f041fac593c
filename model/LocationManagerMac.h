#pragma once
// The property-list form of locations: the form in which the list is stored
// in the "locations" preference and passed between the programs. One
// location is a dictionary with "city", "locStatus" and one entry per source
// key; the list is an array of such dictionaries in list order.

#include <vector>

#include "model/Location.h"
#include "util/plist/Value.h"

class LocationManagerMac {
public:
    // An array of one dictionary per location, in order.
    static plist::Value arrayFromLocationList(const std::vector<Location>& list);
    // "city", "locStatus" and one entry per service key.
    static plist::Value dictionaryFromLocation(const Location& location);

    // Fills `location` from a dictionary: the name starts as "unset" and the
    // status as 0; "city" gives the name, "locStatus" the status, "cityID"
    // the older single key (taken as the "aol" key unless that is present),
    // any other key a service key. The service keys are not cleared first.
    // Entries of the wrong type are skipped and logged to standard error.
    static void dictionaryToLocation(const plist::Value& dict, Location& location);
    // Appends one location per dictionary of the array (the vector is not
    // cleared first). Elements that are not dictionaries are skipped and
    // logged; an absent value appends nothing.
    static void arrayToLocationList(const plist::Value& array, std::vector<Location>& list);
};
