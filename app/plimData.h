#pragma once
// The weather the feed server hands out: one key/value table per city.

#include <map>
#include <string>
#include <vector>

class plimData {
public:
    using Table = std::map<std::string, std::string>;

    void clearData() { cities_.clear(); }
    // Replaces the city's table, creating the city when it is new.
    void setHash(const std::string& city, const Table& table) { cities_[city] = table; }
    // Copies the city's table out; false when the city is unknown.
    bool getHash(const std::string& city, Table& table) const;
    // The city names in map order; the vector is cleared first.
    void getCities(std::vector<std::string>& cities) const;

private:
    std::map<std::string, Table> cities_;
};
