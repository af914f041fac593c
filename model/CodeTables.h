#pragma once
// The fixed vocabularies of the scrapers: condition phrases to icon codes,
// day to night icons, time zones, states, provinces, countries and months.
//
// Each table is a list of string pairs ended by a row of nulls. Each lookup
// builds its map once, on first use, and only reads it afterwards, so the
// lookups may be called from several scraper threads at once. Lookups are
// exact and case-sensitive (but for conditionWordToCode) and answer "" for a
// key without a row unless said otherwise.

#include <cstddef>
#include <string>

#include "util/Mapping.h"

// key -> "<extended regular expression>|<icon code>", tried in key order.
extern const Mapping::StringPair conditionRegex[];
// day icon code -> night icon code.
extern const Mapping::StringPair timebasedConditionIcons[];
// zone abbreviation -> hours from GMT; the generic US zones "ET", "CT", "MT"
// and "PT" carry standard time.
extern const Mapping::StringPair timezones[];
// full US state name -> zone abbreviation.
extern const Mapping::StringPair statesToTimezones[];
// country name -> zone abbreviation.
extern const Mapping::StringPair countriesToTimezones[];
// "January" -> "1" ...; "Jan" -> "1" ...
extern const Mapping::StringPair months[];
extern const Mapping::StringPair shortMonths[];
// two-letter postal code -> state or territory name.
extern const Mapping::StringPair states[];
// Canadian province or territory -> "Canada".
extern const Mapping::StringPair provinces[];
// Australian state or territory -> "Australia".
extern const Mapping::StringPair auTerritories[];

// The number of rows of a table (its end row not counted).
size_t tableRowCount(const Mapping::StringPair* table);

// The icon code of the first row whose expression occurs in the text
// (case-insensitive); "32" when none does.
std::string conditionWordToCode(const std::string& text);
// The night icon of a day icon; a code without a row comes back unchanged.
std::string dayIconToNightIcon(const std::string& code);
std::string tzToGMTOffset(const std::string& zone);
std::string stateToTz(const std::string& stateName);
std::string countryToTz(const std::string& country);
// The full name first, then the three-letter abbreviation.
std::string monthToNum(const std::string& month);
std::string stateAbbrevToStateName(const std::string& abbrev);
std::string stateNameToStateAbbrev(const std::string& name);
std::string provinceToCanada(const std::string& province);
std::string territoryToAustralia(const std::string& territory);
