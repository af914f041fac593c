#include "app/plimData.h"

bool plimData::getHash(const std::string& city, Table& table) const {
    auto found = cities_.find(city);
    if (found == cities_.end()) {
        return false;
    }
    table = found->second;
    return true;
}

void plimData::getCities(std::vector<std::string>& cities) const {
    cities.clear();
    cities.reserve(cities_.size());
    for (const auto& entry : cities_) {
        cities.push_back(entry.first);
    }
}
