#pragma once
// A piece of HTML as a flat list of tag and text tokens, with an optional
// index from tag name to positions. Both sides of a scrape use it: the
// fetched page and the annotated template of a configuration chunk, whose
// tokens carry modifiers written as <%key=value,...> after them.

#include <regex.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class compiledPattern;
class StopFlag;

class tokenList {
public:
    enum tokenType { TOKEN_TAG = 0, TOKEN_TEXT = 1, TOKEN_COMMENT = 2 };
    enum tagSubtype { TAG_OPEN = 0, TAG_CLOSE = 1 };

    struct token {
        tokenType type = TOKEN_TEXT;
        int subtype = TAG_OPEN;
        int score = 100;
        bool isSpace = false;
        bool hasRegex = false;
        int minLength = -1;
        int maxLength = -1;
        std::string text;
        std::string tagName;
        std::map<std::string, std::string> hash;
    };

    // What the similarity search reads of a page token, kept compact beside
    // the tokens, so that scoring many chunks against one page stays in cache.
    // Text tokens and tag arguments from a parse are also views into a copy
    // of the parsed text, so that searches read contiguous bytes.
    struct tokenShape {
        size_t offset;    // where the text (or the tag arguments) starts in the parsed text
        uint32_t length;  // its byte length
        uint8_t type;
        uint8_t subtype;
        bool isSpace;
        bool inSource;  // false: read the token itself
    };

    struct tokenStates {
        bool inScript = false;
        bool inSelect = false;
        bool inBody = false;
    };

    static inline const std::string TOK_DATA = "data";
    static inline const std::string TOK_SCORE = "score";
    static inline const std::string TOK_MINLENGTH = "minLength";
    static inline const std::string TOK_MAXLENGTH = "maxLength";
    static inline const std::string TOK_REGEX = "regex";
    static inline const std::string TOK_TAG_ARGS = "tagargs";
    static inline const std::string TOK_COMMENT = "cmt";
    static inline const std::string TOK_TAG_NAME = "tag";
    static inline const std::string TOK_TAG_SUBTYPE = "tagsubtype";
    static inline const std::string TOK_SPACE = "space";
    static inline const std::string TOK_TEXT = "text";

    // Longest tag argument text that is kept; longer arguments are stored empty.
    static constexpr size_t MAX_TAG_ARGS = 250;

    tokenList();
    // A parse ends early, keeping the tokens so far, once stop is set.
    tokenList(const std::string& html, bool bodyOnly, bool buildIndex, const StopFlag* stop = nullptr);
    virtual ~tokenList();
    tokenList(const tokenList&) = default;
    tokenList& operator=(const tokenList&) = default;
    tokenList(tokenList&&) = default;
    tokenList& operator=(tokenList&&) = default;

    // Appends the tokens of html (earlier tokens stay).
    void parseHtml(const std::string& html, bool bodyOnly, bool buildIndex, const StopFlag* stop = nullptr);
    void insertToken(tokenType type, std::string& piece, tokenStates* states);
    void insertPopulatedToken(token& t, const std::string& indexKey);
    void modifyToken(token& t, std::string& piece);

    // Checks the pattern of every token with hasRegex once, through the
    // pattern cache: a pattern that does not compile is reported there once
    // and the token then never matches.
    void compileRegexes();
    // True when compileRegexes() found the pattern of token i bad.
    bool isPatternBad(int i) const;

    const std::vector<token>& getTokens() const { return tokens_; }
    const std::vector<tokenShape>& getShapes() const { return shapes_; }
    int size() const { return static_cast<int>(tokens_.size()); }
    const token& at(int i) const { return tokens_[static_cast<size_t>(i)]; }
    const std::map<std::string, std::vector<int>>& getIndex() const { return index_; }
    const std::string& getChardataLabel() const { return chardataLabel_; }
    bool isBodyOnly() const { return bodyOnly_; }
    bool isIndexed() const { return buildIndex_; }

    int scoreOf(int i) const;
    const std::vector<int>* getTokenIdxListByType(const token& t) const;
    int findNextTokenWithKey(const std::string& key, unsigned start) const;
    int findNextTokenWithType(const token& t, unsigned start) const;
    static std::string getFromTokenHash(const token& t, const std::string& key);
    std::string getDataTokenKey() const;
    int getNumberOfDataTokens() const;
    void setOnlyNthDataToken(int n);
    static bool doSubtypesMatch(const token& a, const token& b);

    // The position of the first template token similar to page token p, or -1.
    int findTokenSimilarTo(const token& p) const;
    int fastFindTokenSimilarTo(const token& p) const;
    // The indexed search over one index entry of this list (the entry that
    // getTokenIdxListByType(p) gives); callers that resolved the entry once
    // use it directly.
    int findSimilarInEntry(const std::vector<int>& entry, const token& p) const;
    // The same for token k of page, reading its compact shape first.
    int findSimilarInEntry(const std::vector<int>& entry, const tokenList& page, int k) const;

    std::string reconstructStringFromToken(int i, const std::string& postRegex) const;

    static std::string printToken(const token& t);

    // True when the text is empty or only white space and "&nbsp;" entities
    // (read as a C string: it ends at the first NUL byte).
    static bool isWhiteSpaceText(std::string_view text);

private:
    // Finds index entries by name during one parse without a tree search.
    class IndexCache;

    // fromSource: piece lies in source_ (a parse), so shapes can view it.
    void insertPiece(tokenType type, std::string_view piece, tokenStates& states, IndexCache* cache,
                     bool fromSource);
    // Adds the last token to the index entry of key, when indexing.
    // Records the shape of the last token and adds it to the index entry of key.
    void indexLastToken(std::string_view key, IndexCache* cache, const tokenShape& shape);
    static tokenShape shapeOf(const token& t);
    // The shape of t whose text or arguments are view, a piece of source_
    // when fromSource.
    tokenShape shapeFor(const token& t, std::string_view view, bool fromSource) const;
    // The similarity search over one template index entry for a page token
    // given by its shape, the token and the page's parsed text.
    int searchEntry(const std::vector<int>& entry, const tokenShape& shape, const token& p,
                    const std::string& source) const;
    // Applies the modifiers; true when they replaced the tag arguments.
    bool applyModifiers(token& t, std::string_view piece);
    bool patternMatches(int i, std::string_view subject) const;

    std::string chardataLabel_;
    std::vector<token> tokens_;
    std::vector<tokenShape> shapes_;  // one per token
    std::string source_;               // the texts parsed so far, one after the other
    // Per token, once compileRegexes() ran: the compiled pattern of a token
    // with hasRegex, owned by the process-wide pattern cache, or bad when it
    // does not compile (the token then never matches).
    struct checkedPattern {
        const compiledPattern* compiled = nullptr;
        bool bad = false;
    };
    std::vector<checkedPattern> patterns_;
    std::map<std::string, std::vector<int>> index_;
    bool bodyOnly_ = false;
    bool buildIndex_ = false;
};

std::ostream& operator<<(std::ostream& os, const tokenList& list);
