#include "util/regex.h"

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

}  // namespace

struct regexCache::Compiled {
    regex_t re{};
    Entry entry;
    ~Compiled() { regfree(&re); }
};

int regexCache::getRegex(const std::string& pattern, int flags, Entry& entry) {
    std::lock_guard<teskMutex> guard(mutex_);
    auto key = std::make_pair(pattern, flags);
    if (auto it = entries_.find(key); it != entries_.end()) {
        entry = it->second->entry;
        return 0;
    }
    auto compiled = std::make_unique<Compiled>();
    int rc;
    {
        CLocaleScope c;
        rc = regcomp(&compiled->re, pattern.c_str(), platformFlags(flags));
    }
    ++compiles_;
    if (rc != 0) {
        std::cerr << "regexCache: BAD REGEX : " << pattern << ". Not handling this.  Bad things will happen. "
                  << std::endl;
        return rc;
    }
    compiled->entry = Entry{&compiled->re, static_cast<int>(compiled->re.re_nsub) + 1, flags};
    entry = compiled->entry;
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

regex::Search regex::search(const std::string& text, size_t offset) {
    if (compiled_ == nullptr) {
        return Search::NoMatch;
    }
    CLocaleScope c;
    int rc = regexec(compiled_, text.c_str() + offset, noSubMatch_ ? 0 : slots_.size(), slots_.data(), 0);
    if (rc == 0) return Search::Match;
    return rc == REG_NOMATCH ? Search::NoMatch : Search::Error;
}

bool regex::match(const std::string& text) { return search(text, 0) == Search::Match; }

bool regex::matchOne(const std::string& text, std::string& out) {
    std::vector<std::string> groups;
    if (!matchMany(text, groups)) {
        return false;
    }
    out = groups.empty() ? std::string() : groups.front();
    return true;
}

bool regex::matchMany(const std::string& text, std::vector<std::string>& out) {
    if (search(text, 0) != Search::Match) {
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
    while (offset < text.size()) {
        Search s = search(text, offset);
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

bool regex::splitCompiled(const regex_t* compiled, const std::string& text, std::vector<std::string>& out) {
    regmatch_t whole{};
    size_t offset = 0;
    size_t last = 0;
    while (offset < text.size()) {
        int rc;
        {
            CLocaleScope c;
            rc = compiled ? regexec(compiled, text.c_str() + offset, 1, &whole, 0) : REG_NOMATCH;
        }
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

void regex::split(const std::string& text, std::vector<std::string>& out) {
    // Without a compiled pattern nothing matches: the text is one piece.
    splitCompiled(compiled_, text, out);
}

std::string regex::substitute(const std::string& text, const std::string& replacement) {
    std::string result;
    size_t offset = 0;
    size_t last = 0;
    while (offset < text.size()) {
        Search s = search(text, offset);
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
