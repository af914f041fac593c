#include "scrapers/numberedKeys.h"

std::string numberedKeys::composeNumberedKey(const std::string& key, int n) { return key + "-" + std::to_string(n); }

int numberedKeys::getNumberedKeys(const StringMap& table, const std::string& key, std::vector<std::string>& values) {
    int found = 0;
    for (int n = 1; n <= MAX_NUMBERED; ++n) {
        auto it = table.find(composeNumberedKey(key, n));
        if (it == table.end()) break;
        values.push_back(it->second);
        ++found;
    }
    if (found == 0) {
        auto it = table.find(key);
        if (it != table.end() && !it->second.empty()) {
            values.push_back(it->second);
            found = 1;
        }
    }
    return found;
}

void numberedKeys::setNumberedKeys(StringMap& table, const std::string& key, const std::vector<std::string>& values) {
    int n = 0;
    for (const std::string& value : values) {
        table[composeNumberedKey(key, ++n)] = value;
    }
    auto next = table.find(composeNumberedKey(key, n + 1));
    if (next != table.end() && !next->second.empty()) {
        table.erase(next);
    }
}
