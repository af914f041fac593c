#include "model/LocationManager.h"

#include <strings.h>

#include <iostream>
#include <map>

namespace {

bool knownStatus(int status) { return status >= Location::kPlain && status <= Location::kPrimaryFavorite; }
bool primaryStatus(int status) { return status == Location::kPrimary || status == Location::kPrimaryFavorite; }
bool favoriteStatus(int status) { return status == Location::kFavorite || status == Location::kPrimaryFavorite; }

// Sets or clears one status bit; an unknown status counts as plain.
void setStatusBit(int& status, int bit, bool on) {
    if (!knownStatus(status)) status = Location::kPlain;
    status = on ? (status | bit) : (status & ~bit);
}

const Location emptyLocation;

}  // namespace

LocationManager::LocationManager(const std::vector<Location>& list) : locations_(list) {
    if (locations_.empty()) {
        std::cerr << "Empty locationList!!!" << std::endl;
    }
    for (size_t i = 1; i < locations_.size(); ++i) {
        if (locations_[i].name < locations_[i - 1].name) {
            sortLocations();
            break;
        }
    }
    favoritesCount_ = 0;
    bool havePrimary = false;
    size_t firstFavorite = locations_.size();
    for (size_t i = 0; i < locations_.size(); ++i) {
        Location& location = locations_[i];
        if (primaryStatus(location.status)) {
            if (havePrimary) setStatusBit(location.status, Location::kPrimary, false);
            havePrimary = true;
        }
        if (favoriteStatus(location.status)) {
            ++favoritesCount_;
            if (firstFavorite == locations_.size()) firstFavorite = i;
        }
    }
    if (!havePrimary && !locations_.empty()) {
        size_t primary = firstFavorite < locations_.size() ? firstFavorite : 0;
        setStatusBit(locations_[primary].status, Location::kPrimary, true);
    }
}

Location& LocationManager::locationAtIndex(unsigned int i) {
    if (locations_.empty()) {
        placeholder_ = Location();
        return placeholder_;
    }
    return i < locations_.size() ? locations_[i] : locations_[0];
}

const Location& LocationManager::locationAtIndex(unsigned int i) const {
    if (locations_.empty()) return emptyLocation;
    return i < locations_.size() ? locations_[i] : locations_[0];
}

unsigned int LocationManager::primaryIndex() const {
    for (size_t i = 0; i < locations_.size(); ++i) {
        if (primaryStatus(locations_[i].status)) return static_cast<unsigned int>(i);
    }
    return 0;
}

bool LocationManager::isPrimaryLocation(const Location& location) const { return primaryStatus(location.status); }

bool LocationManager::isFavoriteLocation(const Location& location) const { return favoriteStatus(location.status); }

bool LocationManager::isPrimaryAtIndex(unsigned int i) const {
    return i < locations_.size() && primaryStatus(locations_[i].status);
}

bool LocationManager::isFavoriteAtIndex(unsigned int i) const {
    return i < locations_.size() && favoriteStatus(locations_[i].status);
}

int LocationManager::locStatusAtIndex(unsigned int i) const {
    return i < locations_.size() ? locations_[i].status : 0;
}

std::string LocationManager::locNameAtIndex(unsigned int i) const {
    return i < locations_.size() ? locations_[i].name : outOfRangeName_;
}

int LocationManager::nextFavoriteIndexAtOrAfter(unsigned int i) const {
    for (size_t j = i; j < locations_.size(); ++j) {
        if (locations_[j].status == Location::kFavorite) return static_cast<int>(j);
    }
    return -1;
}

void LocationManager::togglePrimaryStatus(Location& location) {
    if (knownStatus(location.status)) location.status ^= Location::kPrimary;
}

void LocationManager::toggleFavoriteStatus(Location& location) {
    if (!knownStatus(location.status)) return;
    if (favoriteStatus(location.status)) {
        if (favoritesCount_ > 0) --favoritesCount_;
    } else {
        ++favoritesCount_;
    }
    location.status ^= Location::kFavorite;
}

void LocationManager::togglePrimaryStatus(unsigned int i) {
    if (i < locations_.size()) togglePrimaryStatus(locations_[i]);
}

void LocationManager::toggleFavoriteStatus(unsigned int i) {
    if (i < locations_.size()) toggleFavoriteStatus(locations_[i]);
}

void LocationManager::makePrimary(unsigned int i) {
    if (i >= locations_.size()) return;
    unsigned int current = primaryIndex();
    if (current != i && primaryStatus(locations_[current].status)) {
        setStatusBit(locations_[current].status, Location::kPrimary, false);
    }
    if (!primaryStatus(locations_[i].status)) setStatusBit(locations_[i].status, Location::kPrimary, true);
}

void LocationManager::addLocation(const Location& location) {
    size_t index = locations_.size();
    bool merged = false;
    for (size_t i = 0; i < locations_.size(); ++i) {
        int order = strcasecmp(location.name.c_str(), locations_[i].name.c_str());
        if (order == 0) {
            mergeServiceToKeys(locations_[i], location);
            index = i;
            merged = true;
            break;
        }
        if (order < 0) {
            index = i;
            break;
        }
    }
    if (!merged) {
        Location entry = location;
        // The primary bit comes from makePrimary below; a second one brought in
        // here would leave the list with two primary cities.
        if (primaryStatus(entry.status)) setStatusBit(entry.status, Location::kPrimary, false);
        if (favoriteStatus(entry.status)) ++favoritesCount_;
        locations_.insert(locations_.begin() + static_cast<std::ptrdiff_t>(index), std::move(entry));
    }
    makePrimary(static_cast<unsigned int>(index));
}

void LocationManager::removeLocationAtIndex(unsigned int i) {
    if (locations_.size() <= 1 || i >= locations_.size()) return;
    const bool wasPrimary = primaryStatus(locations_[i].status);
    if (favoriteStatus(locations_[i].status) && favoritesCount_ > 0) --favoritesCount_;
    locations_.erase(locations_.begin() + i);
    if (!wasPrimary) return;
    size_t heir = 0;
    for (size_t j = 0; j < locations_.size(); ++j) {
        if (favoriteStatus(locations_[j].status)) {
            heir = j;
            break;
        }
    }
    setStatusBit(locations_[heir].status, Location::kPrimary, true);
}

void LocationManager::mergeServiceToKeys(Location& into, const Location& from) {
    for (const auto& [source, key] : from.serviceKeys) {
        into.serviceKeys[source] = key;
    }
}

void LocationManager::sortLocations() {
    std::map<std::string, Location> byName;
    for (const Location& location : locations_) {
        auto [it, inserted] = byName.emplace(location.name, location);
        if (inserted) continue;
        Location& kept = it->second;
        if (primaryStatus(location.status) && !primaryStatus(kept.status)) {
            setStatusBit(kept.status, Location::kPrimary, true);
        }
        if (favoriteStatus(location.status) && !favoriteStatus(kept.status)) {
            setStatusBit(kept.status, Location::kFavorite, true);
        }
        mergeServiceToKeys(kept, location);
    }
    locations_.clear();
    favoritesCount_ = 0;
    for (auto& [name, location] : byName) {
        if (favoriteStatus(location.status)) ++favoritesCount_;
        locations_.push_back(std::move(location));
    }
}

std::ostream& operator<<(std::ostream& os, const std::vector<Location>& list) {
    for (size_t i = 0; i < list.size(); ++i) {
        os << "Element " << i << ": " << list[i];
    }
    return os;
}

std::ostream& operator<<(std::ostream& os, const LocationManager& manager) { return os << manager.locationList(); }
