#pragma once
// Finds, in the token list of a fetched page, the token that holds the value
// a configuration chunk asks for: every page token that could be the value is
// scored by how well its neighbourhood resembles the template's neighbourhood
// of the data token, and the best-scoring clump becomes the value (or
// numbered values).

#include <map>
#include <string>
#include <vector>

#include "scrapers/scraperConfig.h"
#include "scrapers/tokenList.h"

class StopFlag;

class tokenScorer {
public:
    // Once stop is set, a chunk being scored ends early and writes nothing.
    explicit tokenScorer(const StopFlag* stop = nullptr);
    ~tokenScorer();

    // Scores one chunk against an indexed page and writes its value or
    // values into out.
    void scoreForChunk(const tokenList& page, const scraperConfig::chunk& chunk,
                       std::map<std::string, std::string>& out);
    // Adds the score of the page token at pagePos to the score table.
    void scoreToken(int pagePos, int dataPos, const tokenList& page, const scraperConfig::chunk& chunk,
                    const std::string& key);
    // The number of top entries of scores that form the clump.
    int findBestClump(int maxFound, int dropoffPercent, std::multimap<float, int>& scores, const std::string& key,
                      const scraperConfig::chunk& chunk);
    // The cleaned value text of the page token at pagePos.
    std::string postProcessToken(int pagePos, const tokenList::token& dataToken, const std::string& key,
                                 const tokenList& page, const scraperConfig::chunk& chunk);

    // The score table of the last chunk: score to page position, equal
    // scores in the order they were added.
    std::multimap<float, int> getScores() const;

private:
    using Entry = std::pair<float, int>;

    void scoreCandidates(const tokenList& page, const tokenList& tpl, int dataPos, const std::vector<int>& candidates);
    // The table's entries from the highest score down (equal scores: the one
    // added last first), as far as the first `count` of them.
    std::vector<Entry> topEntries(size_t count) const;

    // The score table in the order entries were added; kept as a plain list
    // because thousands of candidates are scored per chunk, and ordered only
    // as far as the clump needs.
    bool stopped() const;

    const StopFlag* stop_ = nullptr;
    std::vector<Entry> table_;
    // Scratch space of scoreCandidates, kept between chunks.
    std::vector<float> weights_;
    std::vector<int> similar_;
    std::vector<float> sums_;
};
