#pragma once
// POSIX extended regular expressions over bytes, with one process-wide cache
// of compiled patterns.

#include <regex.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "util/teskThread.h"

// Compile flags in the program's own numbering; combine with |.
namespace RegexFlags {
constexpr int Extended = 1;
constexpr int IgnoreCase = 2;
constexpr int NoSubMatch = 4;
}  // namespace RegexFlags

// The process-wide cache of compiled patterns, keyed by pattern text and
// flags. Entries live as long as the process.
class regexCache {
public:
    struct Entry {
        const regex_t* compiled = nullptr;
        int slotCount = 0;
        int flags = 0;
    };

    // Finds or compiles the pattern. 0 on success, else the compile error
    // (nothing is cached then).
    int getRegex(const std::string& pattern, int flags, Entry& entry);

    // How many patterns have been compiled so far (for diagnostics and tests).
    unsigned long compileCount();

    regexCache() = default;
    regexCache(const regexCache&) = delete;
    regexCache& operator=(const regexCache&) = delete;

private:
    struct Compiled;
    std::map<std::pair<std::string, int>, std::unique_ptr<Compiled>> entries_;
    teskMutex mutex_;
    unsigned long compiles_ = 0;
};

regexCache& getRegexCacheInstance();

// One compiled pattern in use, with its own match positions. Cheap to make:
// the pattern is compiled once per process and flag set.
class regex {
public:
    regex(const std::string& pattern, int flags);

    bool isValid() const { return compiled_ != nullptr; }

    bool match(const std::string& text);
    bool matchOne(const std::string& text, std::string& out);
    bool matchMany(const std::string& text, std::vector<std::string>& out);
    bool matchManyGlobal(const std::string& text, std::vector<std::string>& out);
    void split(const std::string& text, std::vector<std::string>& out);
    std::string substitute(const std::string& text, const std::string& replacement);

    static bool match(const std::string& pattern, const std::string& text, int flags);
    static bool matchOne(const std::string& pattern, const std::string& text, std::string& out, int flags);
    static bool matchMany(const std::string& pattern, const std::string& text, std::vector<std::string>& out,
                          int flags);
    static bool matchManyGlobal(const std::string& pattern, const std::string& text,
                                std::vector<std::string>& out, int flags);
    static void split(const std::string& pattern, const std::string& text, std::vector<std::string>& out,
                      int flags);
    static std::string substitute(const std::string& pattern, const std::string& text,
                                  const std::string& replacement, int flags);

    static void join(const std::string& sep, const std::vector<std::string>& items, std::string& out);
    static void joinHash(const std::string& entrySep, const std::string& kvSep,
                         const std::map<std::string, std::string>& map, std::string& out);
    static void splitHash(const std::string& entrySeps, const std::string& kvSeps, const std::string& text,
                          std::map<std::string, std::string>& map);

    // Splits text at the matches of an already compiled pattern (shared with
    // callers that compile their own). False when a search failed.
    static bool splitCompiled(const regex_t* compiled, const std::string& text, std::vector<std::string>& out);

private:
    enum class Search { Match, NoMatch, Error };
    Search search(const std::string& text, size_t offset);

    const regex_t* compiled_ = nullptr;
    int slotCount_ = 0;
    bool noSubMatch_ = false;  // searches then report only whether they match
    std::vector<regmatch_t> slots_;
};
