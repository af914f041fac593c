#include "scrapers/tokenScorer.h"

#include <algorithm>
#include <cstdlib>

#include "scrapers/numberedKeys.h"
#include "scrapers/scraperLog.h"
#include "util/GeneralUtils.h"
#include "util/StringMap.h"

namespace {
constexpr int kUnknown = -2;
constexpr int kDefaultMaxFound = 1;
constexpr int kDefaultDropoff = 30;
}  // namespace

tokenScorer::tokenScorer() = default;

tokenScorer::~tokenScorer() = default;

// The score of a candidate sums, over the page tokens of a window around it,
// the weight of each one's similar template token divided by how far their
// offsets from the candidate and from the data token differ, plus one.
template <class Similar>
void tokenScorer::addScore(int pagePos, int dataPos, const tokenList& page, const tokenList& tpl, Similar similar) {
    const tokenList::token& candidate = page.at(pagePos);
    if (candidate.type == tokenList::TOKEN_TEXT && candidate.isSpace) return;
    const int window = static_cast<int>(static_cast<float>(tpl.size()) * 1.5f);
    const int first = std::max(0, pagePos - window);
    const int last = std::min(pagePos + window, page.size() - 1);
    float score = 0.0f;
    for (int k = first; k <= last; ++k) {
        const int j = similar(k);
        if (j < 0) continue;
        const int distance = std::abs((j - dataPos) - (k - pagePos));
        score += static_cast<float>(tpl.scoreOf(j)) / static_cast<float>(1 + distance);
    }
    scores_.emplace(score, pagePos);
}

void tokenScorer::scoreToken(int pagePos, int dataPos, const tokenList& page, const scraperConfig::chunk& chunk,
                             const std::string&) {
    if (pagePos < 0 || pagePos >= page.size()) return;
    const tokenList& tpl = chunk.templateTokens;
    addScore(pagePos, dataPos, page, tpl, [&](int k) { return tpl.findTokenSimilarTo(page.at(k)); });
}

// The similar template token of a page token does not depend on the candidate
// whose window it lies in, so it is searched once per chunk, and only in the
// template index entry of its own tag name (or the text entry).
void tokenScorer::prepareSimilarity(const tokenList& page, const tokenList& tpl) {
    const size_t count = static_cast<size_t>(page.size());
    entryOf_.assign(count, nullptr);
    similar_.assign(count, kUnknown);
    const auto& pageIndex = page.getIndex();
    for (const auto& [name, entry] : tpl.getIndex()) {
        auto hit = pageIndex.find(name);
        if (hit == pageIndex.end()) continue;
        for (int k : hit->second) entryOf_[static_cast<size_t>(k)] = &entry;
    }
}

int tokenScorer::similarAt(int pagePos, const tokenList& page, const tokenList& tpl) {
    int& known = similar_[static_cast<size_t>(pagePos)];
    if (known == kUnknown) {
        const std::vector<int>* entry = entryOf_[static_cast<size_t>(pagePos)];
        known = entry == nullptr ? -1 : tpl.findSimilarInEntry(*entry, page.at(pagePos));
    }
    return known;
}

void tokenScorer::scoreForChunk(const tokenList& page, const scraperConfig::chunk& chunk,
                                std::map<std::string, std::string>& out) {
    const tokenList& tpl = chunk.templateTokens;
    const int dataPos = tpl.findNextTokenWithKey(tokenList::TOK_DATA, 0);
    if (dataPos < 0) return;
    const tokenList::token& dataToken = tpl.at(dataPos);
    const std::string key = tokenList::getFromTokenHash(dataToken, tokenList::TOK_DATA);

    scores_.clear();
    const std::vector<int>* candidates = page.getTokenIdxListByType(dataToken);
    if (candidates != nullptr) {
        prepareSimilarity(page, tpl);
        for (int pagePos : *candidates) {
            const tokenList::token& candidate = page.at(pagePos);
            if (candidate.type != dataToken.type) continue;
            if (dataToken.type == tokenList::TOKEN_TAG && candidate.subtype != dataToken.subtype) continue;
            addScore(pagePos, dataPos, page, tpl, [&](int k) { return similarAt(k, page, tpl); });
        }
    }

    int maxFound = getHashInt(chunk.config, scraperConfig::MAX_FOUND, kDefaultMaxFound);
    const int dropoff = getHashInt(chunk.config, scraperConfig::CLUMP_DROPOFF, kDefaultDropoff);
    maxFound = std::min(maxFound, findBestClump(maxFound, dropoff, scores_, key, chunk));
    if (maxFound <= 0) return;

    if (maxFound == 1) {
        out[key] = postProcessToken(scores_.rbegin()->second, dataToken, key, page, chunk);
        return;
    }
    std::vector<int> positions;
    for (auto it = scores_.rbegin(); it != scores_.rend() && static_cast<int>(positions.size()) < maxFound; ++it) {
        positions.push_back(it->second);
    }
    std::sort(positions.begin(), positions.end());
    for (size_t i = 0; i < positions.size(); ++i) {
        out[numberedKeys::composeNumberedKey(key, static_cast<int>(i) + 1)] =
            postProcessToken(positions[i], dataToken, key, page, chunk);
    }
}

int tokenScorer::findBestClump(int maxFound, int dropoffPercent, std::multimap<float, int>& scores,
                               const std::string& key, const scraperConfig::chunk& chunk) {
    if (scores.empty()) return 0;
    const float high = scores.rbegin()->first;
    const float low = std::max(scores.begin()->first, 0.0f);
    const float factor = static_cast<float>(static_cast<double>(static_cast<float>(dropoffPercent)) * 0.01);
    const float allowedDrop = (high - low) * factor;
    const int minScore = getHashInt(chunk.config, key + "-minscore", -1);

    int joined = 0;
    float prev = high;
    for (auto it = scores.rbegin(); it != scores.rend(); ++it) {
        const float s = it->first;
        if (joined >= maxFound || prev - s > allowedDrop || static_cast<float>(minScore) > s) break;
        ++joined;
        prev = s;
    }
    return joined;
}

std::string tokenScorer::postProcessToken(int pagePos, const tokenList::token& dataToken, const std::string& key,
                                          const tokenList& page, const scraperConfig::chunk& chunk) {
    std::string text = page.reconstructStringFromToken(pagePos, getHash(chunk.config, key + "-post", ""));
    if (tokenList::getFromTokenHash(dataToken, "map") == "1") {
        auto mapped = chunk.config.find(key + "-map-" + text);
        if (mapped != chunk.config.end()) {
            text = mapped->second;
        } else {
            if (text != "currentconds") {
                scraperLog::print("Skyvane: using the default desired key [" + key + "]; tokenString=[" + text +
                                  "]\n");
            }
            auto fallback = chunk.config.find(key + "-map-default");
            if (fallback != chunk.config.end()) text = fallback->second;
        }
    }
    std::string cleaned;
    GeneralUtils::strReplace(text, "&nbsp;", " ", cleaned);
    return cleaned;
}
