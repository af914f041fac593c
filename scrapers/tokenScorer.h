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

class tokenScorer {
public:
    tokenScorer();
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

    const std::multimap<float, int>& getScores() const { return scores_; }

private:
    template <class Similar>
    void addScore(int pagePos, int dataPos, const tokenList& page, const tokenList& tpl, Similar similar);
    void prepareSimilarity(const tokenList& page, const tokenList& tpl);
    int similarAt(int pagePos, const tokenList& page, const tokenList& tpl);

    std::multimap<float, int> scores_;
    // For the chunk being scored, per page position: the template index entry
    // its similar token is searched in (null: none can be similar), and the
    // similar template position once known (-1 none, kUnknown not yet).
    std::vector<const std::vector<int>*> entryOf_;
    std::vector<int> similar_;
};
