#pragma once
// A directive: a string map that travels as one line of text. Entries are
// written in key order as key, 0x02, value, joined by 0x01.

#include <string>

#include "util/StringMap.h"

class PlimDirective {
public:
    PlimDirective();

    // Stores the value under the key. A key or value holding one of the two
    // separator bytes would break the line apart: it is refused and logged.
    void set(const std::string& key, const std::string& value);
    void set(const std::string& key, const char* value) { set(key, std::string(value ? value : "")); }
    // Numbers and flags are not carried: these do nothing.
    void set(const std::string& key, int value);
    void set(const std::string& key, bool value);
    void set(const std::string& key, float value);

    // The value, or "" when absent.
    std::string get(const std::string& key) const;

    void serializeToString(std::string& out) const;
    // Adds the pairs of a serialized directive; pieces without a key-value
    // separator carry no pair and are skipped.
    void deserializeFromString(const std::string& text);

    const StringMap& entries() const { return entries_; }

private:
    StringMap entries_;
    std::string entrySeparator_;
    std::string keyValueSeparator_;
};
