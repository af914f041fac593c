#include "scrapers/tokenList.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "scrapers/scanLimits.h"
#include "scrapers/scraperLog.h"
#include "util/StopFlag.h"
#include "util/CLocaleScope.h"
#include "util/regex.h"

namespace {

constexpr std::string_view kChardataLabel = "chardata";
constexpr int kRegexFlags = RegexFlags::Extended | RegexFlags::IgnoreCase;

// atoi's reading (leading blanks, a sign, digits), clamped to the int range
// instead of overflowing.
int toInt(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool startsWith(std::string_view text, size_t pos, std::string_view prefix) {
    return text.size() - pos >= prefix.size() && text.compare(pos, prefix.size(), prefix) == 0;
}

size_t findFrom(std::string_view text, size_t pos, std::string_view needle) {
    if (pos > text.size()) return std::string_view::npos;
    const void* hit = memmem(text.data() + pos, text.size() - pos, needle.data(), needle.size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

const std::string& tagArgs(const tokenList::token& t) {
    static const std::string empty;
    auto it = t.hash.find(tokenList::TOK_TAG_ARGS);
    return it == t.hash.end() ? empty : it->second;
}

// Said once per process: a page with one such token usually has many.
void noteTooLongToSearch(size_t length) {
    static std::atomic<bool> said{false};
    if (said.exchange(true)) return;
    scraperLog::error("tokenList: a token of " + std::to_string(length) + " bytes is longer than " +
                      std::to_string(scanLimits::kMaxSearchedText) +
                      " bytes; such tokens match no pattern (said once)\n");
}

}  // namespace

// An open-addressing table from index key to index entry, pointing into the
// index map (whose nodes never move), plus the text entry at hand.
class tokenList::IndexCache {
public:
    explicit IndexCache(std::map<std::string, std::vector<int>>& index) : index_(index), slots_(64) {}

    std::vector<int>& entry(std::string_view key) {
        if (key == kChardataLabel) {
            if (text_ == nullptr) text_ = &index_[std::string(key)];
            return *text_;
        }
        size_t mask = slots_.size() - 1;
        for (size_t i = hash(key) & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.entry == nullptr) break;
            if (slot.key == key) return *slot.entry;
        }
        auto it = index_.try_emplace(std::string(key)).first;
        if (2 * (used_ + 1) > slots_.size()) grow();
        place(Slot{std::string_view(it->first), &it->second});
        ++used_;
        return it->second;
    }

private:
    struct Slot {
        std::string_view key;
        std::vector<int>* entry = nullptr;
    };

    static size_t hash(std::string_view key) {
        uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
        return static_cast<size_t>(h ^ (h >> 29));
    }

    void place(const Slot& slot) {
        size_t mask = slots_.size() - 1;
        size_t i = hash(slot.key) & mask;
        while (slots_[i].entry != nullptr) i = (i + 1) & mask;
        slots_[i] = slot;
    }

    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.entry != nullptr) place(slot);
        }
    }

    std::map<std::string, std::vector<int>>& index_;
    std::vector<Slot> slots_;
    size_t used_ = 0;
    std::vector<int>* text_ = nullptr;
};

tokenList::tokenList() = default;

tokenList::tokenList(const std::string& html, bool bodyOnly, bool buildIndex, const StopFlag* stop) {
    parseHtml(html, bodyOnly, buildIndex, stop);
}

tokenList::~tokenList() = default;

bool tokenList::isWhiteSpaceText(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\0') break;  // where a C string of the text ends
        if (isCSpace(c)) {
            ++i;
        } else if (c == '&' && startsWith(text, i, "&nbsp;")) {
            i += 6;
        } else {
            return false;
        }
    }
    return true;
}

void tokenList::parseHtml(const std::string& html, bool bodyOnly, bool buildIndex, const StopFlag* stop) {
    bodyOnly_ = bodyOnly;
    buildIndex_ = buildIndex;
    chardataLabel_ = kChardataLabel;

    // Tokens are cut from a copy kept in source_, which their shapes view.
    const size_t base = source_.size();
    source_ += html;
    const std::string_view text = std::string_view(source_).substr(base);
    const char* const data = text.data();
    const size_t end = text.size();

    // About one tag and one text run per "<": reserve once instead of
    // growing the list again and again on large pages.
    size_t tags = 0;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '<', end - static_cast<size_t>(p - data))));
         ++p) {
        ++tags;
    }
    tokens_.reserve(tokens_.size() + 2 * tags + 1);
    shapes_.reserve(tokens_.capacity());

    enum class State { Text, Tag, Comment, Script } state = State::Text;
    tokenStates states;
    IndexCache cache(index_);
    IndexCache* indexCache = buildIndex ? &cache : nullptr;
    size_t runStart = 0;
    size_t cursor = 0;
    bool stopped = false;
    int sinceCheck = 0;
    while (!stopped) {
        if (stop != nullptr && ++sinceCheck == scanLimits::kStopCheckEvery) {
            sinceCheck = 0;
            if (stop->isStopped()) return;  // the tokens so far stay; nobody reads them
        }
        switch (state) {
        case State::Text: {
            const void* lt = std::memchr(data + cursor, '<', end - cursor);
            if (lt == nullptr) {
                stopped = true;
                break;
            }
            size_t pos = static_cast<size_t>(static_cast<const char*>(lt) - data);
            if (pos > runStart) {
                insertPiece(TOKEN_TEXT, text.substr(runStart, pos - runStart), states, indexCache, true);
            }
            runStart = cursor = pos;
            if (startsWith(text, pos, "<!--")) {
                state = State::Comment;
            } else if (startsWith(text, pos, "<scr")) {
                state = State::Script;
            } else {
                state = State::Tag;
            }
            break;
        }
        case State::Tag: {
            const void* gt = std::memchr(data + cursor, '>', end - cursor);
            if (gt == nullptr) {
                stopped = true;
                break;
            }
            size_t pos = static_cast<size_t>(static_cast<const char*>(gt) - data);
            if (pos > cursor + 1) {
                insertPiece(TOKEN_TAG, text.substr(cursor + 1, pos - cursor - 1), states, indexCache, true);
            }
            runStart = cursor = pos + 1;
            state = State::Text;
            break;
        }
        case State::Comment: {
            size_t pos = findFrom(text, cursor, "-->");
            if (pos == std::string_view::npos) {
                stopped = true;
                break;
            }
            runStart = cursor = pos + 3;
            state = State::Text;
            break;
        }
        case State::Script: {
            size_t pos = findFrom(text, cursor, "</script>");
            if (pos == std::string_view::npos) {
                stopped = true;
                break;
            }
            runStart = cursor = pos + 9;
            state = State::Text;
            break;
        }
        }
    }

    switch (state) {
    case State::Text:
        insertPiece(TOKEN_TEXT, text.substr(cursor), states, indexCache, true);
        break;
    case State::Tag:
        insertPiece(TOKEN_TAG, text.substr(cursor), states, indexCache, true);
        break;
    case State::Comment:
        break;
    case State::Script:
        scraperLog::error("tokenList: a script is never closed; the " + std::to_string(end - cursor) +
                          " bytes after it are ignored\n");
        break;
    }
    if (states.inScript || states.inSelect) {
        scraperLog::error(std::string("tokenList: a ") + (states.inScript ? "script" : "select") +
                          " is never closed; the text after it is ignored\n");
    }
}

void tokenList::insertToken(tokenType type, std::string& piece, tokenStates* states) {
    tokenStates local;
    insertPiece(type, piece, states ? *states : local, nullptr, false);
}

void tokenList::insertPiece(tokenType type, std::string_view piece, tokenStates& states, IndexCache* cache,
                            bool fromSource) {
    if (type == TOKEN_TAG) {
        if (!piece.empty() && piece.front() == '%') {
            if (!tokens_.empty() && applyModifiers(tokens_.back(), piece.substr(1))) {
                shapes_.back().inSource = false;  // the arguments are no longer the parsed ones
            }
            return;
        }
        const int subtype = (!piece.empty() && piece.front() == '/') ? TAG_CLOSE : TAG_OPEN;
        size_t nameStart = piece.find_first_not_of('/');
        if (nameStart == std::string_view::npos) nameStart = piece.size();
        const size_t blank = piece.find(' ', nameStart);
        std::string name = lowerAscii(piece.substr(
            nameStart, blank == std::string_view::npos ? std::string_view::npos : blank - nameStart));
        std::string_view args;
        if (blank != std::string_view::npos) args = piece.substr(blank + 1);
        if (args.size() > MAX_TAG_ARGS) args = {};
        const std::string_view lowered(name);
        if (lowered == "script") {
            states.inScript = subtype == TAG_OPEN;
        } else if (lowered == "select") {
            states.inSelect = subtype == TAG_OPEN;
        } else if (lowered == "body") {
            states.inBody = subtype == TAG_OPEN;
        }
        if (states.inScript || states.inSelect || (bodyOnly_ && !states.inBody)) return;
        token& t = tokens_.emplace_back();
        t.type = TOKEN_TAG;
        t.subtype = subtype;
        t.tagName = std::move(name);
        t.hash.emplace_hint(t.hash.end(), TOK_TAG_ARGS, args);
        indexLastToken(t.tagName, cache, shapeFor(t, args, fromSource));
        return;
    }
    if (type != TOKEN_TEXT) return;  // comments are never stored
    if (states.inScript || states.inSelect || (bodyOnly_ && !states.inBody)) return;
    token& t = tokens_.emplace_back();
    t.type = TOKEN_TEXT;
    t.text.assign(piece);
    t.isSpace = isWhiteSpaceText(piece);
    indexLastToken(chardataLabel_, cache, shapeFor(t, piece, fromSource));
}

void tokenList::insertPopulatedToken(token& t, const std::string& indexKey) {
    tokens_.push_back(t);
    indexLastToken(indexKey, nullptr, shapeOf(tokens_.back()));
}

tokenList::tokenShape tokenList::shapeOf(const token& t) {
    const size_t length = t.type == TOKEN_TAG ? tagArgs(t).size() : t.text.size();
    return tokenShape{0, length > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(length),
                      static_cast<uint8_t>(t.type), static_cast<uint8_t>(t.subtype), t.isSpace, false};
}

tokenList::tokenShape tokenList::shapeFor(const token& t, std::string_view view, bool fromSource) const {
    // A tag without arguments (or with too long ones) has an empty view that
    // points nowhere in the parsed text: read the token itself.
    if (!fromSource || view.data() == nullptr || view.size() >= UINT32_MAX) return shapeOf(t);
    return tokenShape{static_cast<size_t>(view.data() - source_.data()), static_cast<uint32_t>(view.size()),
                      static_cast<uint8_t>(t.type), static_cast<uint8_t>(t.subtype), t.isSpace, true};
}

void tokenList::indexLastToken(std::string_view key, IndexCache* cache, const tokenShape& shape) {
    shapes_.push_back(shape);
    if (!buildIndex_) return;
    const int position = static_cast<int>(tokens_.size()) - 1;
    if (cache != nullptr) {
        cache->entry(key).push_back(position);
    } else {
        index_[std::string(key)].push_back(position);
    }
}

void tokenList::modifyToken(token& t, std::string& piece) {
    std::string_view items(piece);
    if (!items.empty() && items.front() == '%') items.remove_prefix(1);
    applyModifiers(t, items);
}

bool tokenList::applyModifiers(token& t, std::string_view piece) {
    bool argsReplaced = false;
    size_t start = 0;
    while (start <= piece.size()) {
        size_t comma = piece.find(',', start);
        if (comma == std::string_view::npos) comma = piece.size();
        std::string_view item = piece.substr(start, comma - start);
        start = comma + 1;
        if (item.empty()) continue;
        // The key ends at the first "="; the value is everything after it,
        // and a key without a value is a switch that is on.
        size_t eq = item.find('=');
        std::string key(item.substr(0, eq));
        std::string value = eq == std::string_view::npos ? std::string() : std::string(item.substr(eq + 1));
        if (value.empty()) value = "1";
        if (key == TOK_SCORE) {
            t.score = toInt(value);
        } else if (key == TOK_MINLENGTH) {
            t.minLength = toInt(value);
        } else if (key == TOK_MAXLENGTH) {
            t.maxLength = toInt(value);
        } else if (key == TOK_REGEX) {
            if (value == "1") t.hasRegex = true;
        } else {
            argsReplaced |= key == TOK_TAG_ARGS;
            t.hash[key] = std::move(value);
        }
    }
    return argsReplaced;
}

void tokenList::compileRegexes() {
    patterns_.resize(tokens_.size());
    for (size_t i = 0; i < tokens_.size(); ++i) {
        const token& t = tokens_[i];
        checkedPattern& checked = patterns_[i];
        if (!t.hasRegex || checked.compiled != nullptr || checked.bad) continue;
        regexCache::Entry entry;
        if (getRegexCacheInstance().getRegex(t.type == TOKEN_TAG ? tagArgs(t) : t.text, kRegexFlags, entry) == 0) {
            checked.compiled = entry.compiled;
        } else {
            checked.bad = true;
        }
    }
}

bool tokenList::isPatternBad(int i) const {
    return i >= 0 && static_cast<size_t>(i) < patterns_.size() && patterns_[static_cast<size_t>(i)].bad;
}

int tokenList::scoreOf(int i) const {
    if (i < 0 || i >= size()) return 0;
    return tokens_[static_cast<size_t>(i)].score;
}

const std::vector<int>* tokenList::getTokenIdxListByType(const token& t) const {
    if (t.type == TOKEN_COMMENT) return nullptr;
    auto it = index_.find(t.type == TOKEN_TAG ? t.tagName : chardataLabel_);
    return it == index_.end() ? nullptr : &it->second;
}

int tokenList::findNextTokenWithKey(const std::string& key, unsigned start) const {
    for (size_t i = start; i < tokens_.size(); ++i) {
        if (tokens_[i].hash.count(key) != 0) return static_cast<int>(i);
    }
    return -1;
}

int tokenList::findNextTokenWithType(const token& t, unsigned start) const {
    for (size_t i = start; i < tokens_.size(); ++i) {
        const token& c = tokens_[i];
        if (c.type != t.type) continue;
        if (c.type == TOKEN_TAG && (c.tagName != t.tagName || c.subtype != t.subtype)) continue;
        return static_cast<int>(i);
    }
    return -1;
}

std::string tokenList::getFromTokenHash(const token& t, const std::string& key) {
    auto it = t.hash.find(key);
    return it == t.hash.end() ? std::string() : it->second;
}

std::string tokenList::getDataTokenKey() const {
    int i = findNextTokenWithKey(TOK_DATA, 0);
    return i < 0 ? std::string() : getFromTokenHash(at(i), TOK_DATA);
}

int tokenList::getNumberOfDataTokens() const {
    int n = 0;
    for (const token& t : tokens_) n += t.hash.count(TOK_DATA) != 0 ? 1 : 0;
    return n;
}

void tokenList::setOnlyNthDataToken(int n) {
    int seen = 0;
    for (token& t : tokens_) {
        auto it = t.hash.find(TOK_DATA);
        if (it == t.hash.end()) continue;
        if (seen++ != n) t.hash.erase(it);
    }
}

bool tokenList::doSubtypesMatch(const token& a, const token& b) {
    return a.type == TOKEN_TAG && b.type == TOKEN_TAG && a.subtype == b.subtype;
}

bool tokenList::patternMatches(int i, std::string_view subject) const {
    // The subject is read as a C string: it ends at its first NUL byte.
    const void* nul = std::memchr(subject.data(), '\0', subject.size());
    if (nul != nullptr) subject = subject.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - subject.data()));
    if (subject.size() > scanLimits::kMaxSearchedText) {
        noteTooLongToSearch(subject.size());
        return false;
    }
    const checkedPattern checked =
        static_cast<size_t>(i) < patterns_.size() ? patterns_[static_cast<size_t>(i)] : checkedPattern{};
    if (checked.compiled != nullptr) return checked.compiled->exec(subject.data(), subject.size(), 0, nullptr) == 0;
    if (checked.bad) return false;
    const token& t = tokens_[static_cast<size_t>(i)];
    return regex::match(t.type == TOKEN_TAG ? tagArgs(t) : t.text, std::string(subject), kRegexFlags);
}

int tokenList::findTokenSimilarTo(const token& p) const {
    if (buildIndex_) return fastFindTokenSimilarTo(p);
    if (p.type == TOKEN_COMMENT) return -1;
    for (size_t i = 0; i < tokens_.size(); ++i) {
        const token& t = tokens_[i];
        if (t.type != p.type) continue;
        if (p.type == TOKEN_TAG) {
            if (t.subtype != p.subtype || t.tagName != p.tagName) continue;
            if (!t.hasRegex || patternMatches(static_cast<int>(i), tagArgs(p))) return static_cast<int>(i);
        } else if (p.isSpace) {
            if (t.isSpace) return static_cast<int>(i);
        } else if (!t.isSpace) {
            if (t.hasRegex ? patternMatches(static_cast<int>(i), p.text) : t.text == p.text) return static_cast<int>(i);
        }
    }
    return -1;
}

int tokenList::fastFindTokenSimilarTo(const token& p) const {
    const std::vector<int>* entry = getTokenIdxListByType(p);
    return entry == nullptr ? -1 : findSimilarInEntry(*entry, p);
}

int tokenList::findSimilarInEntry(const std::vector<int>& entry, const token& p) const {
    return searchEntry(entry, shapeOf(p), p, source_);
}

int tokenList::findSimilarInEntry(const std::vector<int>& entry, const tokenList& page, int k) const {
    return searchEntry(entry, page.shapes_[static_cast<size_t>(k)], page.tokens_[static_cast<size_t>(k)],
                       page.source_);
}

// Reads the text or arguments of the page token from the parsed text its
// shape views, and the token itself only when there is no such view.
int tokenList::searchEntry(const std::vector<int>& entry, const tokenShape& shape, const token& p,
                           const std::string& source) const {
    auto subject = [&]() -> std::string_view {
        if (shape.inSource) return std::string_view(source).substr(shape.offset, shape.length);
        return shape.type == TOKEN_TAG ? std::string_view(tagArgs(p)) : std::string_view(p.text);
    };
    if (shape.type == TOKEN_TAG) {
        // Length bounds on a template tag count the template's tags of that
        // name, open and close together.
        const long count = static_cast<long>(entry.size());
        for (int i : entry) {
            const token& t = tokens_[static_cast<size_t>(i)];
            // A tag named like the text label shares the text entry.
            if (t.type != TOKEN_TAG || t.subtype != shape.subtype) continue;
            if (t.minLength > 0) {
                scraperLog::error("Min Length[" + std::to_string(t.minLength) + "]\n");
                if (t.minLength > count) continue;
            }
            if (t.maxLength > 0 && t.maxLength < count) continue;
            if (!t.hasRegex || patternMatches(i, subject())) return i;
        }
        return -1;
    }
    if (shape.type != TOKEN_TEXT) return -1;
    const size_t length = shape.length;
    for (int i : entry) {
        const token& t = tokens_[static_cast<size_t>(i)];
        if (t.type != TOKEN_TEXT) continue;
        if (shape.isSpace) {
            if (t.isSpace) return i;
            continue;
        }
        if (t.isSpace) continue;
        if (t.minLength > 0 && static_cast<size_t>(t.minLength) > length) continue;
        if (t.maxLength > 0 && static_cast<size_t>(t.maxLength) < length) continue;
        if (t.hasRegex) {
            if (patternMatches(i, subject())) return i;
        } else if (t.text.size() == length && std::string_view(t.text) == subject()) {
            return i;
        }
    }
    return -1;
}

std::string tokenList::reconstructStringFromToken(int i, const std::string& postRegex) const {
    if (i < 0 || i >= size()) return std::string();
    const token& t = at(i);
    std::string text = t.type == TOKEN_TAG ? tagArgs(t) : t.text;
    if (postRegex.empty()) return text;
    if (text.size() > scanLimits::kMaxSearchedText) {
        noteTooLongToSearch(text.size());
        return text;  // as when the pattern does not match
    }
    std::string group;
    if (regex(postRegex, kRegexFlags).matchOne(text, group)) return group;
    return text;
}

std::string tokenList::printToken(const token& t) {
    std::string out;
    if (t.type == TOKEN_TEXT) {
        out += "text=[" + t.text + "] ";
    } else if (t.type == TOKEN_TAG) {
        out += "tag=[" + t.tagName + "] ";
        const std::string& args = tagArgs(t);
        if (!args.empty()) out += "args=[" + args + "] ";
    } else {
        out += "cmt=[" + getFromTokenHash(t, TOK_COMMENT) + "] ";
    }
    if (t.hasRegex) out += "^ ";
    out += "(score " + std::to_string(t.score) + ") ";
    return out;
}

std::ostream& operator<<(std::ostream& os, const tokenList& list) {
    for (const tokenList::token& t : list.getTokens()) os << tokenList::printToken(t) << '\n';
    return os;
}
