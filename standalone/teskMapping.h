#pragma once
// A mapping read from key=value text: a line is split at its first "=" (the
// value keeps any later ones), nothing is trimmed, lines without "=" are
// skipped and a later key replaces an earlier one.

#include <string>

#include "util/StringMap.h"

class teskMapping {
public:
    // Reads the package file name in directory; an unreadable file leaves
    // the mapping empty.
    teskMapping(const std::string& directory, const std::string& name, bool reverse);
    // Builds the mapping from text.
    teskMapping(const std::string& text, bool reverse);
    // Two strings and no flag would otherwise read as text and a flag.
    teskMapping(const std::string& directory, const char* name) = delete;

    // Replaces the map with the pairs of text; with reverse each pair is
    // stored the other way round.
    void buildMap(const std::string& text, bool reverse);

    // The value, or "" when absent.
    std::string get(const std::string& key) const;
    const StringMap& map() const { return map_; }

private:
    StringMap map_;
};
