#pragma once
// One city the user keeps: its display name, whether it is the primary city
// and/or a favorite, each weather source's key for it and its last refresh.

#include <ostream>
#include <string>

#include "util/StringMap.h"

class Location {
public:
    // Status values: the primary bit and the favorite bit.
    static constexpr int kPlain = 0;
    static constexpr int kPrimary = 1;
    static constexpr int kFavorite = 2;
    static constexpr int kPrimaryFavorite = 3;

    Location() = default;

    std::string name;
    int status = kPlain;
    // Source key ("nws", "aol", "ug", "usa") -> that source's location key,
    // or "key_not_in_db" when the source was searched and does not know the city.
    StringMap serviceKeys;
    // Seconds since 1970 of the last completed refresh; never stored.
    long lastUpdate = 0;
};

// "LOCATION [name] (status n)", a line break, then the service keys.
std::ostream& operator<<(std::ostream& os, const Location& location);
