#include "util/StringMap.h"

#include <cstdlib>
#include <iostream>

#include "util/CLocaleScope.h"
#include "util/regex.h"

std::string getHash(const StringMap& map, const std::string& key, const char* def) {
    auto it = map.find(key);
    if (it != map.end()) return it->second;
    return def ? std::string(def) : std::string();
}

int getHashInt(const StringMap& map, const std::string& key, int def) {
    auto it = map.find(key);
    if (it == map.end() || it->second.empty()) return def;
    return std::atoi(it->second.c_str());
}

float getHashFloat(const StringMap& map, const std::string& key, float def) {
    auto it = map.find(key);
    if (it == map.end() || it->second.empty()) return def;
    return static_cast<float>(strtodInCLocale(it->second.c_str()));
}

void getHashGLColor(const StringMap& map, const std::string& key, float rgba[4]) {
    for (int i = 0; i < 4; ++i) rgba[i] = 1.0f;
    std::string value = getHash(map, key, "");
    std::vector<std::string> pieces;
    regex::split("[ ]*[,][ ]*", value, pieces, RegexFlags::Extended);
    if (pieces.size() != 4) {
        std::cout << "Could not read GLColor [" << key << "] -> [" << value << "]\n";
        return;
    }
    for (int i = 0; i < 4; ++i) {
        rgba[i] = static_cast<float>(strtodInCLocale(pieces[static_cast<size_t>(i)].c_str()));
    }
}

long stringToLong(const std::string& text, bool& ok) {
    const char* begin = text.c_str();
    char* end = nullptr;
    long value = std::strtol(begin, &end, 10);
    ok = end != begin;
    return value;
}

std::string longToString(long n) { return std::to_string(n); }

std::ostream& operator<<(std::ostream& os, const StringMap& map) {
    for (const auto& [key, value] : map) {
        os << key << " -> " << value << std::endl;
    }
    return os;
}

std::ostream& operator<<(std::ostream& os, const std::vector<StringMap>& maps) {
    for (size_t i = 0; i < maps.size(); ++i) {
        os << "ELEMENT " << i << std::endl << maps[i];
    }
    return os;
}

std::ostream& operator<<(std::ostream& os, const std::vector<std::string>& items) {
    os << "printing gVector" << std::endl;
    for (size_t i = 0; i < items.size(); ++i) {
        os << "vector[" << i << "] = " << items[i] << std::endl;
    }
    return os;
}
