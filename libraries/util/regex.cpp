#include "util/regex.h"

#include <cstring>
#include <iostream>

#include "util/CLocaleScope.h"

namespace {

int platformFlags(int flags) {
    int result = 0;
    if (flags & RegexFlags::Extended) result |= REG_EXTENDED;
    if (flags & RegexFlags::IgnoreCase) result |= REG_ICASE;
    if (flags & RegexFlags::NoSubMatch) result |= REG_NOSUB;
    return result;
}

int orDefault(int flags, int def) { return flags == 0 ? def : flags; }

void reportSearchError() { std::cerr << "some other error occurred" << std::endl; }

// Where the C string that starts at offset ends: at its first NUL byte, or at
// the end of text. known carries the answer of the previous call of a scan
// (npos at first): a NUL still ahead of the offset need not be looked for
// again.
size_t cStringEnd(const std::string& text, size_t offset, size_t& known) {
    if (known != std::string::npos && known >= offset) return known;
    const void* nul = std::memchr(text.data() + offset, '\0', text.size() - offset);
    known = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
    return known;
}

}  // namespace

int execRange(const regex_t* compiled, const char* text, size_t length, size_t nmatch, regmatch_t* slots) {
    // The range is given, not found by strlen(): a scan that searches a long
    // text many times stays linear.
    regmatch_t range[1];
    regmatch_t* bounds = nmatch > 0 ? slots : range;
    bounds[0].rm_so = 0;
    bounds[0].rm_eo = static_cast<regoff_t>(length);
    CLocaleScope c;
    return regexec(compiled, text, nmatch, bounds, REG_STARTEND);
}

struct compiledPattern::Copy {
    regex_t re{};
    ~Copy() { regfree(&re); }
};

compiledPattern::compiledPattern(std::string pattern, int platformFlags)
    : pattern_(std::move(pattern)), platformFlags_(platformFlags) {}

compiledPattern::~compiledPattern() = default;

int compiledPattern::compile() {
    auto copy = std::make_unique<Copy>();
    int rc;
    {
        CLocaleScope c;
        rc = regcomp(&copy->re, pattern_.c_str(), platformFlags_);
    }
    if (rc != 0) return rc;
    groups_ = copy->re.re_nsub;
    std::lock_guard<std::mutex> guard(mutex_);
    primary_ = copy.get();
    copies_.push_back(std::move(copy));
    return 0;
}

compiledPattern::Copy* compiledPattern::borrow() const {
    if (!primaryBusy_.exchange(true, std::memory_order_acquire)) return primary_;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!idle_.empty()) {
            Copy* copy = idle_.back();
            idle_.pop_back();
            return copy;
        }
    }
    // Every copy is in use by another thread: compile one more, outside the lock.
    auto copy = std::make_unique<Copy>();
    int rc;
    {
        CLocaleScope c;
        rc = regcomp(&copy->re, pattern_.c_str(), platformFlags_);
    }
    if (rc != 0) return nullptr;  // out of memory: the search fails
    std::lock_guard<std::mutex> guard(mutex_);
    copies_.push_back(std::move(copy));
    return copies_.back().get();
}

void compiledPattern::giveBack(Copy* copy) const {
    if (copy == primary_) {
        primaryBusy_.store(false, std::memory_order_release);
        return;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    idle_.push_back(copy);
}

int compiledPattern::exec(const char* text, size_t length, size_t nmatch, regmatch_t* slots) const {
    Copy* copy = borrow();
    if (copy == nullptr) return REG_ESPACE;
    const int rc = execRange(&copy->re, text, length, nmatch, slots);
    giveBack(copy);
    return rc;
}

size_t compiledPattern::extraCopies() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return copies_.empty() ? 0 : copies_.size() - 1;
}

int regexCache::getRegex(const std::string& pattern, int flags, Entry& entry) {
    std::lock_guard<teskMutex> guard(mutex_);
    auto key = std::make_pair(pattern, flags);
    if (auto it = entries_.find(key); it != entries_.end()) {
        entry = Entry{it->second.get(), static_cast<int>(it->second->groupCount()) + 1, flags};
        return 0;
    }
    auto compiled = std::make_unique<compiledPattern>(pattern, platformFlags(flags));
    const int rc = compiled->compile();
    ++compiles_;
    if (rc != 0) {
        std::cerr << "regexCache: BAD REGEX : " << pattern << ". Not handling this.  Bad things will happen. "
                  << std::endl;
        return rc;
    }
    entry = Entry{compiled.get(), static_cast<int>(compiled->groupCount()) + 1, flags};
    entries_.emplace(std::move(key), std::move(compiled));
    return 0;
}

unsigned long regexCache::compileCount() {
    std::lock_guard<teskMutex> guard(mutex_);
    return compiles_;
}

regexCache& getRegexCacheInstance() {
    // Never destroyed: regex objects in static tables may outlive main().
    static regexCache* instance = new regexCache();
    return *instance;
}

regex::regex(const std::string& pattern, int flags) {
    regexCache::Entry entry;
    if (getRegexCacheInstance().getRegex(pattern, flags, entry) == 0) {
        compiled_ = entry.compiled;
        noSubMatch_ = (flags & RegexFlags::NoSubMatch) != 0;
        slotCount_ = noSubMatch_ ? 1 : entry.slotCount;
        slots_.assign(static_cast<size_t>(slotCount_), regmatch_t{-1, -1});
    }
}

regex::Search regex::search(const std::string& text, size_t offset, size_t& cEnd) {
    if (compiled_ == nullptr) {
        return Search::NoMatch;
    }
    const size_t end = cStringEnd(text, offset, cEnd);
    int rc = compiled_->exec(text.c_str() + offset, end - offset, noSubMatch_ ? 0 : slots_.size(), slots_.data());
    if (rc == 0) return Search::Match;
    return rc == REG_NOMATCH ? Search::NoMatch : Search::Error;
}

bool regex::match(const std::string& text) {
    size_t cEnd = std::string::npos;
    return search(text, 0, cEnd) == Search::Match;
}

bool regex::matchOne(const std::string& text, std::string& out) {
    std::vector<std::string> groups;
    if (!matchMany(text, groups)) {
        return false;
    }
    out = groups.empty() ? std::string() : groups.front();
    return true;
}

bool regex::matchMany(const std::string& text, std::vector<std::string>& out) {
    size_t cEnd = std::string::npos;
    if (search(text, 0, cEnd) != Search::Match) {
        return false;
    }
    const auto len = static_cast<regoff_t>(text.size());
    for (int i = 1; i < slotCount_; ++i) {
        const regmatch_t& m = slots_[static_cast<size_t>(i)];
        if (m.rm_so < 0 || m.rm_eo < 0 || m.rm_so > len || m.rm_eo > len || m.rm_eo < m.rm_so) {
            continue;  // the group took no part in the match
        }
        out.push_back(text.substr(static_cast<size_t>(m.rm_so), static_cast<size_t>(m.rm_eo - m.rm_so)));
    }
    return true;
}

bool regex::matchManyGlobal(const std::string& text, std::vector<std::string>& out) {
    bool appended = false;
    size_t offset = 0;
    size_t cEnd = std::string::npos;
    while (offset < text.size()) {
        Search s = search(text, offset, cEnd);
        if (s == Search::Error) {
            reportSearchError();
            break;
        }
        if (s == Search::NoMatch) {
            break;
        }
        for (int i = 1; i < slotCount_; ++i) {
            const regmatch_t& m = slots_[static_cast<size_t>(i)];
            if (m.rm_so < 0 || m.rm_eo < m.rm_so) {
                out.emplace_back();
            } else {
                out.push_back(text.substr(offset + static_cast<size_t>(m.rm_so),
                                          static_cast<size_t>(m.rm_eo - m.rm_so)));
            }
        }
        appended = true;
        // Go on from the end of the last group, so text after it can start the
        // next match; fall back to the whole match (and at least one byte)
        // when that would not move forward.
        regoff_t next = slots_[static_cast<size_t>(slotCount_ - 1)].rm_eo;
        if (next <= 0) {
            next = slots_[0].rm_eo > 0 ? slots_[0].rm_eo : 1;
        }
        offset += static_cast<size_t>(next);
    }
    return appended;
}

namespace {

// Appends the pieces of text between the matches that exec (a search of the
// C string [text, text + length)) finds; false when a search failed.
template <class Exec>
bool splitWith(const Exec& exec, const std::string& text, std::vector<std::string>& out) {
    regmatch_t whole{};
    size_t offset = 0;
    size_t last = 0;
    size_t cEnd = std::string::npos;
    while (offset < text.size()) {
        const size_t end = cStringEnd(text, offset, cEnd);
        const int rc = exec(text.c_str() + offset, end - offset, &whole);
        if (rc == REG_NOMATCH) {
            break;
        }
        if (rc != 0) {
            reportSearchError();
            return false;
        }
        if (whole.rm_eo == whole.rm_so) {
            // An empty match separates nothing; look again one byte further.
            offset += static_cast<size_t>(whole.rm_so) + 1;
            continue;
        }
        out.push_back(text.substr(last, offset + static_cast<size_t>(whole.rm_so) - last));
        offset += static_cast<size_t>(whole.rm_eo);
        last = offset;
    }
    if (last < text.size()) {
        out.push_back(text.substr(last));
    }
    return true;
}

}  // namespace

bool regex::splitCompiled(const regex_t* compiled, const std::string& text, std::vector<std::string>& out) {
    return splitWith(
        [compiled](const char* subject, size_t length, regmatch_t* whole) {
            return compiled ? execRange(compiled, subject, length, 1, whole) : REG_NOMATCH;
        },
        text, out);
}

void regex::split(const std::string& text, std::vector<std::string>& out) {
    // Without a compiled pattern nothing matches: the text is one piece.
    splitWith(
        [this](const char* subject, size_t length, regmatch_t* whole) {
            return compiled_ ? compiled_->exec(subject, length, 1, whole) : REG_NOMATCH;
        },
        text, out);
}

std::string regex::substitute(const std::string& text, const std::string& replacement) {
    std::string result;
    size_t offset = 0;
    size_t last = 0;
    size_t cEnd = std::string::npos;
    while (offset < text.size()) {
        Search s = search(text, offset, cEnd);
        if (s == Search::Error) {
            reportSearchError();
            return result;
        }
        if (s == Search::NoMatch) {
            break;
        }
        const regmatch_t& whole = slots_[0];
        if (whole.rm_eo == whole.rm_so) {
            offset += static_cast<size_t>(whole.rm_so) + 1;
            continue;
        }
        result.append(text, last, offset + static_cast<size_t>(whole.rm_so) - last);
        result += replacement;
        offset += static_cast<size_t>(whole.rm_eo);
        last = offset;
    }
    if (last < text.size()) {
        result.append(text, last, std::string::npos);
    }
    return result;
}

bool regex::match(const std::string& pattern, const std::string& text, int flags) {
    return regex(pattern, orDefault(flags, RegexFlags::Extended | RegexFlags::NoSubMatch)).match(text);
}

bool regex::matchOne(const std::string& pattern, const std::string& text, std::string& out, int flags) {
    return regex(pattern, orDefault(flags, RegexFlags::Extended)).matchOne(text, out);
}

bool regex::matchMany(const std::string& pattern, const std::string& text, std::vector<std::string>& out,
                      int flags) {
    return regex(pattern, orDefault(flags, RegexFlags::Extended)).matchMany(text, out);
}

bool regex::matchManyGlobal(const std::string& pattern, const std::string& text, std::vector<std::string>& out,
                            int flags) {
    return regex(pattern, orDefault(flags, RegexFlags::Extended)).matchManyGlobal(text, out);
}

void regex::split(const std::string& pattern, const std::string& text, std::vector<std::string>& out,
                  int flags) {
    regex(pattern, orDefault(flags, RegexFlags::Extended)).split(text, out);
}

std::string regex::substitute(const std::string& pattern, const std::string& text,
                              const std::string& replacement, int flags) {
    return regex(pattern, orDefault(flags, RegexFlags::Extended)).substitute(text, replacement);
}

void regex::join(const std::string& sep, const std::vector<std::string>& items, std::string& out) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += sep;
        out += items[i];
    }
}

void regex::joinHash(const std::string& entrySep, const std::string& kvSep,
                     const std::map<std::string, std::string>& map, std::string& out) {
    out.clear();
    bool first = true;
    for (const auto& [key, value] : map) {
        if (!first) out += entrySep;
        first = false;
        out += key;
        out += kvSep;
        out += value;
    }
}

void regex::splitHash(const std::string& entrySeps, const std::string& kvSeps, const std::string& text,
                      std::map<std::string, std::string>& map) {
    // Entries end at any entry separator; the key ends at the first key-value
    // separator and the value keeps any later ones. Entries without a
    // separator (and empty entries) carry no pair and are skipped.
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(entrySeps, start);
        if (end == std::string::npos) end = text.size();
        std::string entry = text.substr(start, end - start);
        size_t kv = entry.find_first_of(kvSeps);
        if (kv != std::string::npos) {
            map[entry.substr(0, kv)] = entry.substr(kv + 1);
        }
        if (end == text.size()) break;
        start = end + 1;
    }
}
