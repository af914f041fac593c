#include "standalone/PlimDirective.h"

#include <iostream>

#include "util/regex.h"

PlimDirective::PlimDirective() : entrySeparator_("\x01"), keyValueSeparator_("\x02") {}

void PlimDirective::set(const std::string& key, const std::string& value) {
    const std::string separators = entrySeparator_ + keyValueSeparator_;
    if (key.find_first_of(separators) != std::string::npos || value.find_first_of(separators) != std::string::npos) {
        std::cerr << "PlimDirective: refusing an entry that holds a separator byte" << std::endl;
        return;
    }
    entries_[key] = value;
}

void PlimDirective::set(const std::string&, int) {}

void PlimDirective::set(const std::string&, bool) {}

void PlimDirective::set(const std::string&, float) {}

std::string PlimDirective::get(const std::string& key) const {
    auto it = entries_.find(key);
    return it == entries_.end() ? "" : it->second;
}

void PlimDirective::serializeToString(std::string& out) const {
    regex::joinHash(entrySeparator_, keyValueSeparator_, entries_, out);
}

void PlimDirective::deserializeFromString(const std::string& text) {
    regex::splitHash(entrySeparator_, keyValueSeparator_, text, entries_);
}
