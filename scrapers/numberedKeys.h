#pragma once
// Lists kept in a string table as numbered keys: key-1, key-2, ... up to
// key-100. Shared by the token scorer, the configurable scraper and the menu
// controller.

#include <string>
#include <vector>

#include "util/StringMap.h"

class numberedKeys {
public:
    static constexpr int MAX_NUMBERED = 100;

    // key + "-" + n in decimal ("high-2").
    static std::string composeNumberedKey(const std::string& key, int n);
    // Appends the values of key-1, key-2, ... up to key-100, stopping at the
    // first absent number; when none was found and key itself has a non-empty
    // value, appends that one. Returns how many were appended.
    static int getNumberedKeys(const StringMap& table, const std::string& key, std::vector<std::string>& values);
    // Writes value i (from 1) under key-i; then removes key-(n+1) when it holds
    // a non-empty value, so a list that got shorter does not keep its old tail
    // item.
    static void setNumberedKeys(StringMap& table, const std::string& key, const std::vector<std::string>& values);
};
