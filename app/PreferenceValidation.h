#pragma once
// Checks what another program pushes over the session bus before anything
// changes: the type of each known preference, the range of its number, and
// for "locations" an array of dictionaries each with a non-empty "city"
// without control characters. Every value, ours or not, is bounded (64 KB
// per text, data or key, 1,000 entries per list or dictionary, 4 MB for all
// preferences together) and may hold no NUL byte, so that the preference file
// stays one the program can read back; keys that are not ours otherwise pass
// as they are.
//
// A value equal to the one the program already holds always passes, whatever
// its shape: the setup application sends back the whole set it was given, and
// an odd value read from an old preference file must not lock it out.

#include <optional>
#include <string>

#include "util/plist/Value.h"

// Why `value` does not fit the preference `key`; nothing when it fits.
std::optional<std::string> preferenceProblem(const std::string& key, const plist::Value& value,
                                             const plist::Dict& current);

// The first problem of a whole preference set, which must hold "locations"
// (without it the city list would be emptied); nothing when all of it fits.
std::optional<std::string> preferencesProblem(const plist::Dict& prefs, const plist::Dict& current);

// Why a location dictionary does not fit: it needs a non-empty "city"
// without control characters, a "locStatus" (when present) from 0 to 3, and
// text for every other entry, within the bounds above.
// `name` says which location the message is about.
std::optional<std::string> locationProblem(const plist::Value& location, const std::string& name = "the location");

// Why the city list `locations`, taking the place of the one in `current`,
// cannot be kept: more entries than a list may hold, or all preferences
// together past their bound. A list that does not grow always passes.
std::optional<std::string> locationListProblem(const plist::Value& locations, const plist::Dict& current);
