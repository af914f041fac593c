#pragma once
// POSIX extended regular expressions over bytes, with one process-wide cache
// of compiled patterns.

#include <regex.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
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

// One pattern as the cache holds it. The C library locks a compiled pattern
// for the whole of a search, so threads searching the same pattern would wait
// for each other, however long one search takes: each search borrows a
// compiled copy that no other search is using, and another copy is compiled
// only when every copy is busy. Copies are never freed while the process runs.
class compiledPattern {
public:
    compiledPattern(std::string pattern, int platformFlags);
    ~compiledPattern();
    compiledPattern(const compiledPattern&) = delete;
    compiledPattern& operator=(const compiledPattern&) = delete;

    // Compiles the first copy; 0 or the compile error.
    int compile();
    size_t groupCount() const { return groups_; }
    // regexec over the bytes [text, text + length), NUL bytes included, with
    // offsets counted from text. Without sub-match report pass nmatch 0.
    int exec(const char* text, size_t length, size_t nmatch, regmatch_t* slots) const;
    // How many copies were compiled beyond the first (for tests).
    size_t extraCopies() const;

private:
    struct Copy;
    Copy* borrow() const;
    void giveBack(Copy* copy) const;

    const std::string pattern_;
    const int platformFlags_;
    size_t groups_ = 0;
    // The first copy is taken with one atomic exchange, the common case of a
    // pattern searched by one thread at a time; the others through the lock.
    Copy* primary_ = nullptr;
    mutable std::atomic<bool> primaryBusy_{false};
    mutable std::mutex mutex_;
    mutable std::vector<std::unique_ptr<Copy>> copies_;
    mutable std::vector<Copy*> idle_;
};

// Searches [text, text + length) with a pattern compiled elsewhere; offsets
// count from text.
int execRange(const regex_t* compiled, const char* text, size_t length, size_t nmatch, regmatch_t* slots);

// The process-wide cache of compiled patterns, keyed by pattern text and
// flags. Entries live as long as the process.
class regexCache {
public:
    struct Entry {
        const compiledPattern* compiled = nullptr;
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
    std::map<std::pair<std::string, int>, std::unique_ptr<compiledPattern>> entries_;
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
    // Searches text from offset as a C string: up to its first NUL byte at or
    // after offset. cEnd caches where that NUL is across the searches of one
    // scan (start it at 0), so that a scan stays linear in the text.
    Search search(const std::string& text, size_t offset, size_t& cEnd);

    const compiledPattern* compiled_ = nullptr;
    int slotCount_ = 0;
    bool noSubMatch_ = false;  // searches then report only whether they match
    std::vector<regmatch_t> slots_;
};
