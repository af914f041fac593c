#pragma once
// The menu program's preferences at start-up and after a change: read from
// the store, brought up to the current layout, completed with the bundle's
// defaults and stored back whole.

#include <memory>

#include "util/plist/Value.h"

class ComTeskUtilControl;
class LocationManager;

// Reads, upgrades, fills and stores the preferences and builds the location
// manager from them. True on the first run (nothing was stored).
bool initializePrefs(ComTeskUtilControl& util, plist::Dict& prefs, std::unique_ptr<LocationManager>& locMan);

// The upgrade steps on their own: the old temperature unit, the source
// order of layouts before version 2.0 and the shortest update frequency.
void upgradePrefs(plist::Dict& prefs);
