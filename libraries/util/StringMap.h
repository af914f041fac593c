#pragma once
// The string map, the common currency of reports, locations, menu items and
// configuration, and the readers that take typed values out of it.

#include <map>
#include <ostream>
#include <string>
#include <vector>

using StringMap = std::map<std::string, std::string>;

// The key's value, or def when the key is absent (an empty value is kept).
std::string getHash(const StringMap& map, const std::string& key, const char* def);
// atoi of the value; def when the key is absent or its value is empty.
int getHashInt(const StringMap& map, const std::string& key, int def);
// strtod of the value; def when the key is absent or its value is empty.
float getHashFloat(const StringMap& map, const std::string& key, float def);
// Reads "r, g, b, a" into rgba; all four stay 1.0 unless there are exactly four.
void getHashGLColor(const StringMap& map, const std::string& key, float rgba[4]);

// strtol base 10; ok when at least one character was read.
long stringToLong(const std::string& text, bool& ok);
std::string longToString(long n);

std::ostream& operator<<(std::ostream& os, const StringMap& map);
std::ostream& operator<<(std::ostream& os, const std::vector<StringMap>& maps);
std::ostream& operator<<(std::ostream& os, const std::vector<std::string>& items);
