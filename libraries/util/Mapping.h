#pragma once
// A read-only lookup table built from a static list of string pairs.

#include <map>
#include <string>

class Mapping {
public:
    struct StringPair {
        const char* first;
        const char* second;
    };
    using const_iterator = std::map<std::string, std::string>::const_iterator;

    // Reads rows until one whose first string is null; reverse maps second to
    // first. A later row with the same key wins.
    Mapping(const StringPair* table, bool reverse);

    // The key's value, or "" when absent.
    std::string get(const std::string& key) const;
    const_iterator begin() const { return map_.begin(); }
    const_iterator end() const { return map_.end(); }
    size_t size() const { return map_.size(); }

private:
    std::map<std::string, std::string> map_;
};
