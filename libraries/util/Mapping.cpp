#include "util/Mapping.h"

Mapping::Mapping(const StringPair* table, bool reverse) {
    if (table == nullptr) return;
    for (const StringPair* row = table; row->first != nullptr; ++row) {
        const char* second = row->second ? row->second : "";
        if (reverse) {
            map_[second] = row->first;
        } else {
            map_[row->first] = second;
        }
    }
}

std::string Mapping::get(const std::string& key) const {
    auto it = map_.find(key);
    return it == map_.end() ? std::string() : it->second;
}
