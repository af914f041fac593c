// The tokenizer over arbitrary page bytes: it must end, stay inside the text,
// keep the index consistent with the tokens, and the scorer must cope with
// whatever the page holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scrapers/scraperConfig.h"
#include "scrapers/scraperLog.h"
#include "scrapers/tokenList.h"
#include "scrapers/tokenScorer.h"

namespace {

const char* const kConfig =
    "%chunk_start\n"
    "max_found=3\n"
    "temp-post=([0-9]+)\n"
    "%html_start\n"
    "<tr><td class=label>Temperature</td><td><%regex=1>72<%data=temp,map=1></td></tr>\n"
    "<img src=.*gif><%regex=1,data=icon,minLength=2>\n"
    "%html_end\n"
    "%chunk_end\n";

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    scraperLog::setSink(&scraperLog::discard);
    if (size == 0) return 0;
    const bool bodyOnly = (data[0] & 1) != 0;
    const bool indexed = (data[0] & 2) != 0;
    const std::string html(reinterpret_cast<const char*>(data + 1), size - 1);

    tokenList page(html, bodyOnly, indexed);
    check(page.size() <= static_cast<int>(html.size()) + 1);
    size_t indexed_positions = 0;
    for (const auto& [key, positions] : page.getIndex()) {
        for (size_t i = 0; i < positions.size(); ++i) {
            const int p = positions[i];
            check(p >= 0 && p < page.size());
            check(i == 0 || positions[i - 1] < p);
            const tokenList::token& t = page.at(p);
            check(key == (t.type == tokenList::TOKEN_TAG ? t.tagName : page.getChardataLabel()));
        }
        indexed_positions += positions.size();
    }
    check(indexed_positions == (indexed ? static_cast<size_t>(page.size()) : 0u));
    bool regexFree = true;
    for (const tokenList::token& t : page.getTokens()) {
        check(t.type != tokenList::TOKEN_COMMENT);
        check(tokenList::getFromTokenHash(t, tokenList::TOK_TAG_ARGS).size() <= tokenList::MAX_TAG_ARGS ||
              t.type != tokenList::TOKEN_TAG);
        regexFree = regexFree && !t.hasRegex;
    }

    // The page as a template of itself (its own patterns would go into the
    // process-wide cache, so only when it has none).
    if (regexFree) {
        for (int i = 0; i < page.size() && i < 256; ++i) {
            const int j = page.findTokenSimilarTo(page.at(i));
            check(j >= -1 && j < page.size());
            if (j >= 0) check(page.at(j).type == page.at(i).type);
            page.reconstructStringFromToken(i, "");
        }
    }

    static const scraperConfig config(kConfig);
    if (indexed) {
        tokenScorer scorer;
        std::map<std::string, std::string> out;
        for (const scraperConfig::chunk& chunk : config.getChunkList()) scorer.scoreForChunk(page, chunk, out);
    }
    return 0;
}
