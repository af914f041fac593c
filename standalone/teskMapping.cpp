#include "standalone/teskMapping.h"

#include <vector>

#include "standalone/PackageFile.h"
#include "util/regex.h"

teskMapping::teskMapping(const std::string& directory, const std::string& name, bool reverse) {
    std::string text;
    if (getFileInPackage(directory, name, text)) buildMap(text, reverse);
}

teskMapping::teskMapping(const std::string& text, bool reverse) { buildMap(text, reverse); }

void teskMapping::buildMap(const std::string& text, bool reverse) {
    map_.clear();
    std::vector<std::string> lines;
    regex::split("\n", text, lines, RegexFlags::Extended);
    for (const std::string& line : lines) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (reverse) {
            map_[value] = key;
        } else {
            map_[key] = value;
        }
    }
}

std::string teskMapping::get(const std::string& key) const {
    auto it = map_.find(key);
    return it == map_.end() ? "" : it->second;
}
