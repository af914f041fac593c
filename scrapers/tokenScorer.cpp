#include "scrapers/tokenScorer.h"

#include <algorithm>
#include <cstdlib>

#include "scrapers/numberedKeys.h"
#include "scrapers/scanLimits.h"
#include "scrapers/scraperLog.h"
#include "util/HtmlEntities.h"
#include "util/StopFlag.h"
#include "util/StringMap.h"

namespace {
constexpr int kDefaultMaxFound = 1;
constexpr int kDefaultDropoff = 30;
// The most weights tabled per chunk (4 MB); a larger template has its
// weights computed term by term, with the same result.
constexpr size_t kMaxTabledWeights = size_t{1} << 20;
}  // namespace

tokenScorer::tokenScorer(const StopFlag* stop) : stop_(stop) {}

bool tokenScorer::stopped() const { return stop_ != nullptr && stop_->isStopped(); }

tokenScorer::~tokenScorer() = default;

namespace {

// How far the window reaches to each side of a candidate.
int windowFor(const tokenList& tpl) { return static_cast<int>(static_cast<float>(tpl.size()) * 1.5f); }

// The weight a page token adds to a candidate: the score of its similar
// template token, divided by how far their offsets from the candidate and
// from the data token differ, plus one.
float weight(int templateScore, int distance) {
    return static_cast<float>(templateScore) / static_cast<float>(1 + distance);
}

// Walks score entries from the highest down; the number that join the clump.
template <class It>
int walkClump(It top, It end, float high, float low, int maxFound, int dropoffPercent, int minScore) {
    const float factor = static_cast<float>(static_cast<double>(static_cast<float>(dropoffPercent)) * 0.01);
    const float allowedDrop = (high - low) * factor;
    int joined = 0;
    float prev = high;
    for (It it = top; it != end; ++it) {
        const float s = it->first;
        if (joined >= maxFound || prev - s > allowedDrop || static_cast<float>(minScore) > s) break;
        ++joined;
        prev = s;
    }
    return joined;
}

int minScoreOf(const scraperConfig::chunk& chunk, const std::string& key) {
    return getHashInt(chunk.config, key + "-minscore", -1);
}

}  // namespace

void tokenScorer::scoreToken(int pagePos, int dataPos, const tokenList& page, const scraperConfig::chunk& chunk,
                             const std::string&) {
    if (pagePos < 0 || pagePos >= page.size()) return;
    const tokenList::token& candidate = page.at(pagePos);
    if (candidate.type == tokenList::TOKEN_TEXT && candidate.isSpace) return;
    const tokenList& tpl = chunk.templateTokens;
    const int window = windowFor(tpl);
    const int first = std::max(0, pagePos - window);
    const int last = std::min(pagePos + window, page.size() - 1);
    float score = 0.0f;
    for (int k = first; k <= last; ++k) {
        const int j = tpl.findTokenSimilarTo(page.at(k));
        if (j >= 0) score += weight(tpl.scoreOf(j), std::abs((j - dataPos) - (k - pagePos)));
    }
    table_.emplace_back(score, pagePos);
}

// Scores every candidate as scoreToken does, with the same single-precision
// operations in the same order, so every score is the same; but:
// - the similar template token of a page token does not depend on the
//   candidate whose window it lies in, so it is searched once per chunk, and
//   only in the template's index entry of its own tag name (or its text);
// - the weights are tabled per template token and distance;
// - the page is walked once, in page order, and each page token that has a
//   similar template token adds its weight to every candidate whose window
//   holds it: each candidate still receives its terms in page order.
void tokenScorer::scoreCandidates(const tokenList& page, const tokenList& tpl, int dataPos,
                                  const std::vector<int>& candidates) {
    const int rows = tpl.size();
    const int window = windowFor(tpl);
    const int columns = rows + window;  // every distance a window can give

    const size_t tableSize = static_cast<size_t>(rows) * static_cast<size_t>(columns);
    const bool tabled = tableSize <= kMaxTabledWeights;
    weights_.resize(tabled ? tableSize : 0);
    for (int j = 0; tabled && j < rows; ++j) {
        const int score = tpl.scoreOf(j);
        for (int d = 0; d < columns; ++d) {
            weights_[static_cast<size_t>(j) * static_cast<size_t>(columns) + static_cast<size_t>(d)] = weight(score, d);
        }
    }

    similar_.assign(static_cast<size_t>(page.size()), -1);
    const auto& pageIndex = page.getIndex();
    int sinceCheck = 0;
    for (const auto& [name, entry] : tpl.getIndex()) {
        auto hit = pageIndex.find(name);
        if (hit == pageIndex.end()) continue;
        for (int k : hit->second) {
            if (++sinceCheck == scanLimits::kStopCheckEvery) {
                sinceCheck = 0;
                if (stopped()) return;
            }
            similar_[static_cast<size_t>(k)] = tpl.findSimilarInEntry(entry, page, k);
        }
    }

    const size_t count = candidates.size();
    sums_.assign(count, 0.0f);
    const int* const pos = candidates.data();
    float* const sum = sums_.data();
    size_t first = 0;  // the candidates whose window holds k: [first, last)
    size_t last = 0;
    // In blocks, so that the look at the stop flag stays out of the hot loop.
    const int tokens = page.size();
    for (int blockStart = 0; blockStart < tokens; blockStart += scanLimits::kStopCheckEvery) {
        if (stopped()) return;
        const int blockEnd = std::min(tokens, blockStart + scanLimits::kStopCheckEvery);
        for (int k = blockStart; k < blockEnd; ++k) {
            const int j = similar_[static_cast<size_t>(k)];
            if (j < 0) continue;
            while (first < count && pos[first] < k - window) ++first;
            while (last < count && pos[last] <= k + window) ++last;
            const int offset = j - dataPos - k;  // |offset + p| = |(j - dataPos) - (k - p)|
            if (!tabled) {
                const int score = tpl.scoreOf(j);
                for (size_t c = first; c < last; ++c) sum[c] += weight(score, std::abs(offset + pos[c]));
                continue;
            }
            const float* const row = weights_.data() + static_cast<size_t>(j) * static_cast<size_t>(columns);
            for (size_t c = first; c < last; ++c) sum[c] += row[std::abs(offset + pos[c])];
        }
    }
    table_.reserve(table_.size() + count);
    for (size_t c = 0; c < count; ++c) table_.emplace_back(sum[c], pos[c]);
}

std::vector<tokenScorer::Entry> tokenScorer::topEntries(size_t count) const {
    count = std::min(count, table_.size());
    std::vector<int> order(table_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    auto higher = [this](int a, int b) {
        const float sa = table_[static_cast<size_t>(a)].first;
        const float sb = table_[static_cast<size_t>(b)].first;
        return sa > sb || (sa == sb && a > b);
    };
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(), higher);
    std::vector<Entry> top;
    top.reserve(count);
    for (size_t i = 0; i < count; ++i) top.push_back(table_[static_cast<size_t>(order[i])]);
    return top;
}

std::multimap<float, int> tokenScorer::getScores() const {
    std::multimap<float, int> scores;
    for (const Entry& e : table_) scores.emplace(e.first, e.second);
    return scores;
}

void tokenScorer::scoreForChunk(const tokenList& page, const scraperConfig::chunk& chunk,
                                std::map<std::string, std::string>& out) {
    const tokenList& tpl = chunk.templateTokens;
    const int dataPos = tpl.findNextTokenWithKey(tokenList::TOK_DATA, 0);
    if (dataPos < 0) return;
    const tokenList::token& dataToken = tpl.at(dataPos);
    const std::string key = tokenList::getFromTokenHash(dataToken, tokenList::TOK_DATA);

    table_.clear();
    if (const std::vector<int>* entry = page.getTokenIdxListByType(dataToken)) {
        std::vector<int> candidates;
        candidates.reserve(entry->size());
        const std::vector<tokenList::tokenShape>& shapes = page.getShapes();
        for (int pagePos : *entry) {
            const tokenList::tokenShape& candidate = shapes[static_cast<size_t>(pagePos)];
            if (candidate.type != dataToken.type) continue;
            if (candidate.type == tokenList::TOKEN_TAG && candidate.subtype != dataToken.subtype) continue;
            if (candidate.type == tokenList::TOKEN_TEXT && candidate.isSpace) continue;
            candidates.push_back(pagePos);
        }
        scoreCandidates(page, tpl, dataPos, candidates);
    }
    // A stopped chunk has only part of its scores: it writes nothing.
    if (table_.empty() || stopped()) return;

    int maxFound = getHashInt(chunk.config, scraperConfig::MAX_FOUND, kDefaultMaxFound);
    const int dropoff = getHashInt(chunk.config, scraperConfig::CLUMP_DROPOFF, kDefaultDropoff);
    if (maxFound <= 0) return;

    float high = table_.front().first;
    float low = high;
    for (const Entry& e : table_) {
        high = std::max(high, e.first);
        low = std::min(low, e.first);
    }
    const std::vector<Entry> top = topEntries(static_cast<size_t>(maxFound));
    maxFound = walkClump(top.begin(), top.end(), high, std::max(low, 0.0f), maxFound, dropoff,
                         minScoreOf(chunk, key));
    if (maxFound <= 0) return;

    if (maxFound == 1) {
        out[key] = postProcessToken(top.front().second, dataToken, key, page, chunk);
        return;
    }
    std::vector<int> positions;
    for (int i = 0; i < maxFound; ++i) positions.push_back(top[static_cast<size_t>(i)].second);
    std::sort(positions.begin(), positions.end());
    for (size_t i = 0; i < positions.size(); ++i) {
        out[numberedKeys::composeNumberedKey(key, static_cast<int>(i) + 1)] =
            postProcessToken(positions[i], dataToken, key, page, chunk);
    }
}

int tokenScorer::findBestClump(int maxFound, int dropoffPercent, std::multimap<float, int>& scores,
                               const std::string& key, const scraperConfig::chunk& chunk) {
    if (scores.empty()) return 0;
    return walkClump(scores.rbegin(), scores.rend(), scores.rbegin()->first, std::max(scores.begin()->first, 0.0f),
                     maxFound, dropoffPercent, minScoreOf(chunk, key));
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
    // The page's markup ends here: "&nbsp;" is a blank, and every other
    // character reference becomes its character, so no value is shown as
    // "30.12&quot;" or "O&#39;Fallon" and links read "&amp;" as "&".
    return decodeHtmlEntities(text);
}
