#include "scrapers/tokenScorer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "LogCapture.h"

namespace {

using Map = std::map<std::string, std::string>;

std::string readFixture(const std::string& name) {
    std::ifstream in(std::string(SKYVANE_FIXTURES_DIR) + "/scorer/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

scraperConfig::chunk makeChunk(const std::string& html, const Map& config = {}) {
    scraperConfig::chunk c;
    c.templateTokens.parseHtml(html, false, true);
    c.templateTokens.compileRegexes();
    c.config = config;
    return c;
}

// The score table the literal algorithm gives: every candidate scored with a
// fresh similarity search for every position of its window.
std::multimap<float, int> literalScores(const tokenList& page, const scraperConfig::chunk& chunk) {
    tokenScorer scorer;
    const tokenList& tpl = chunk.templateTokens;
    const int dataPos = tpl.findNextTokenWithKey(tokenList::TOK_DATA, 0);
    const tokenList::token& data = tpl.at(dataPos);
    if (const std::vector<int>* candidates = page.getTokenIdxListByType(data)) {
        for (int pos : *candidates) {
            if (data.type == tokenList::TOKEN_TAG && !tokenList::doSubtypesMatch(data, page.at(pos))) continue;
            scorer.scoreToken(pos, dataPos, page, chunk, "");
        }
    }
    return scorer.getScores();
}

}  // namespace

TEST(TokenScorer, WindowAndDistanceWeights) {
    // A template of three tokens looks four positions to each side.
    const scraperConfig::chunk chunk = makeChunk("<i><%data=v><b>z");
    ASSERT_EQ(chunk.templateTokens.size(), 3);
    tokenList page("<b><b><b><b><b><i><b><b><b><b><b>", false, true);
    tokenScorer scorer;
    scorer.scoreToken(5, 0, page, chunk, "v");
    ASSERT_EQ(scorer.getScores().size(), 1u);
    // Offsets -4..-1 weigh 100/6, 100/5, 100/4, 100/3; the candidate 100; +1..+4 100, 50, 100/3, 25.
    EXPECT_NEAR(scorer.getScores().begin()->first, 403.333f, 0.01);
    EXPECT_EQ(scorer.getScores().begin()->second, 5);

    // Cut at the first page token.
    tokenList edge("<i><b><b>", false, true);
    tokenScorer atEdge;
    atEdge.scoreToken(0, 0, edge, chunk, "v");
    // <i> 100, <b> 100, <b> 50, final blank text: no similar template token.
    EXPECT_NEAR(atEdge.getScores().begin()->first, 250.0f, 0.001);

    // A white-space text candidate gets no entry.
    tokenList blank("<i> ", false, true);
    tokenScorer none;
    none.scoreToken(1, 0, blank, chunk, "v");
    EXPECT_TRUE(none.getScores().empty());
}

TEST(TokenScorer, TiesClumpsAndNumberedValues) {
    const tokenList page("<td>A<td>B", false, true);
    Map out;
    tokenScorer scorer;
    scorer.scoreForChunk(page, makeChunk("<td>x<%data=v>"), out);
    EXPECT_EQ(out, (Map{{"v", "B"}}));  // equal scores: the later candidate wins

    out.clear();
    scorer.scoreForChunk(page, makeChunk("<td>x<%data=v>", {{"max_found", "3"}}), out);
    EXPECT_EQ(out, (Map{{"v-1", "A"}, {"v-2", "B"}}));

    // Nonsense counts write nothing and stop.
    for (const char* count : {"0", "-3", "abc", "-2147483648"}) {
        out.clear();
        scorer.scoreForChunk(page, makeChunk("<td>x<%data=v>", {{"max_found", count}}), out);
        EXPECT_TRUE(out.empty()) << count;
    }
    out.clear();
    scorer.scoreForChunk(page, makeChunk("<td>x<%data=v>", {{"max_found", "2147483647"}}), out);
    EXPECT_EQ(out.size(), 2u);

    // A chunk without a data token writes nothing.
    out.clear();
    scorer.scoreForChunk(page, makeChunk("<td>x"), out);
    EXPECT_TRUE(out.empty());

    const scraperConfig::chunk plain = makeChunk("<b>x<%data=k>");
    std::multimap<float, int> scores{{300.0f, 1}, {290.0f, 2}, {150.0f, 3}, {20.0f, 4}};
    EXPECT_EQ(scorer.findBestClump(4, 30, scores, "k", plain), 2);
    EXPECT_EQ(scorer.findBestClump(1, 30, scores, "k", plain), 1);
    EXPECT_EQ(scorer.findBestClump(4, 100, scores, "k", plain), 4);
    EXPECT_EQ(scorer.findBestClump(0, 30, scores, "k", plain), 0);
    std::multimap<float, int> empty;
    EXPECT_EQ(scorer.findBestClump(4, 30, empty, "k", plain), 0);
    // A negative low end counts as 0: the allowed drop is 30 % of 100.
    std::multimap<float, int> negative{{100.0f, 1}, {71.0f, 2}, {-50.0f, 3}};
    EXPECT_EQ(scorer.findBestClump(4, 30, negative, "k", plain), 2);
    // The minimum score ends the clump; an equal score still joins.
    const scraperConfig::chunk minimum = makeChunk("<b>x<%data=k>", {{"k-minscore", "290"}});
    EXPECT_EQ(scorer.findBestClump(4, 100, scores, "k", minimum), 2);
    const scraperConfig::chunk tooHigh = makeChunk("<b>x<%data=k>", {{"k-minscore", "301"}});
    EXPECT_EQ(scorer.findBestClump(4, 100, scores, "k", tooHigh), 0);

    out.clear();
    scorer.scoreForChunk(page, makeChunk("<td>x<%data=v>", {{"v-minscore", "200"}}), out);
    EXPECT_TRUE(out.empty());
}

TEST(TokenScorer, PatternTagsAgainstTagsWithoutArguments) {
    // Page tags without arguments, and with over-long ones, meet a template
    // tag whose arguments are a pattern: they are compared, never matched.
    const tokenList page("<body><tr><td>9</td></tr><tr " + std::string(300, 'x') +
                             "><td>8</td></tr><tr class=row><td>7</td></tr>",
                         true, true);
    tokenScorer scorer;
    Map out;
    scorer.scoreForChunk(page, makeChunk("<tr class=row><%regex=1,score=500><td>x<%data=v>"), out);
    EXPECT_EQ(out, (Map{{"v", "7"}}));
}

TEST(TokenScorer, ValueCleaning) {
    LogCapture log;
    const tokenList page("<b>Sunny<b>Hazy<b>currentconds<b>Temp: 72&deg;F<b>Partly&nbsp;Cloudy<b>Partly&NBSP;Cloudy",
                         false, true);
    const Map mapped{{"temp-map-Sunny", "32"}, {"temp-map-default", "44"}};
    const scraperConfig::chunk mapChunk = makeChunk("<b>x<%data=temp,map=1>", mapped);
    const tokenList::token& mapToken = mapChunk.templateTokens.at(1);
    tokenScorer scorer;
    EXPECT_EQ(scorer.postProcessToken(1, mapToken, "temp", page, mapChunk), "32");
    EXPECT_EQ(log.output(), "");
    EXPECT_EQ(scorer.postProcessToken(3, mapToken, "temp", page, mapChunk), "44");
    EXPECT_EQ(log.output(), "Skyvane: using the default desired key [temp]; tokenString=[Hazy]\n");
    EXPECT_EQ(scorer.postProcessToken(5, mapToken, "temp", page, mapChunk), "44");
    EXPECT_EQ(LogCapture::count(log.output(), "Skyvane:"), 1u);
    const scraperConfig::chunk noDefault = makeChunk("<b>x<%data=temp,map=1>");
    EXPECT_EQ(scorer.postProcessToken(3, noDefault.templateTokens.at(1), "temp", page, noDefault), "Hazy");
    // Without map=1 the map keys mean nothing.
    const scraperConfig::chunk unmapped = makeChunk("<b>x<%data=temp>", mapped);
    EXPECT_EQ(scorer.postProcessToken(1, unmapped.templateTokens.at(1), "temp", page, unmapped), "Sunny");

    const tokenList::token& plain = unmapped.templateTokens.at(1);
    auto post = [&](const std::string& pattern, int pos) {
        const scraperConfig::chunk c = makeChunk("<b>x<%data=temp>", {{"temp-post", pattern}});
        return scorer.postProcessToken(pos, plain, "temp", page, c);
    };
    EXPECT_EQ(post("([0-9]+)", 7), "72");
    EXPECT_EQ(post("temp", 7), "");
    EXPECT_EQ(post("(rain)", 7), "Temp: 72\u00b0F");  // the page's markup never reaches a value
    EXPECT_EQ(post("", 9), "Partly Cloudy");
    EXPECT_EQ(post("", 11), "Partly&NBSP;Cloudy");
    EXPECT_EQ(post("", 0), "");  // a tag gives its (empty) arguments
}

TEST(TokenScorer, FixturePageAgainstSiteConfiguration) {
    LogCapture log;
    const scraperConfig config(readFixture("weather.conf"));
    const tokenList page(readFixture("weather.html"), true, true);
    ASSERT_EQ(config.getChunkList().size(), 7u);
    EXPECT_EQ(page.at(0).tagName, "body");

    Map out;
    tokenScorer scorer;
    for (const scraperConfig::chunk& chunk : config.getChunkList()) {
        scorer.scoreForChunk(page, chunk, out);
        // Searching each page token once per chunk leaves every score as the
        // literal window-by-window search gives it.
        EXPECT_EQ(scorer.getScores(), literalScores(page, chunk)) << chunk.config.at("desired_token");
    }
    EXPECT_EQ(out, (Map{{"temperature", "72"},
                        {"condition", "30"},
                        {"humidity", "64%"},
                        {"wind", "SW at 12 mph"},
                        {"icon", "partlycloudy"},
                        {"day-1", "Monday"},
                        {"day-2", "Tuesday"},
                        {"day-3", "Wednesday"},
                        {"day-4", "Thursday"}}));
    EXPECT_EQ(log.errors(), "");
}

TEST(TokenScorer, ThreadsShareConfigurationAndPage) {
    // Scraper threads score their pages against the same read-only
    // configuration at the same time, sharing its compiled patterns.
    LogCapture log;
    const scraperConfig config(readFixture("weather.conf"));
    const tokenList page(readFixture("weather.html"), true, true);
    Map expected;
    tokenScorer single;
    for (const scraperConfig::chunk& chunk : config.getChunkList()) single.scoreForChunk(page, chunk, expected);

    std::vector<Map> results(4);
    std::vector<std::thread> threads;
    for (Map& out : results) {
        threads.emplace_back([&config, &page, &out] {
            for (int round = 0; round < 20; ++round) {
                tokenScorer scorer;
                out.clear();
                for (const scraperConfig::chunk& chunk : config.getChunkList()) scorer.scoreForChunk(page, chunk, out);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (const Map& out : results) EXPECT_EQ(out, expected);
}

TEST(tokenScorer, HugeTemplatesAreScoredWithoutAQuadraticTable) {
    // The weight of a template token depends on its score and distance only;
    // a template of many thousands of tokens must not need a table of
    // template size squared to be scored, and gives the literal scores.
    std::string html = "<td>x<%data=v>";
    for (int i = 0; i < 200000; ++i) html += "<i>";
    const scraperConfig::chunk chunk = makeChunk(html);
    const tokenList page("<td>42</td><i><td>7</td>", false, true);
    tokenScorer scorer;
    Map out;
    ASSERT_NO_THROW(scorer.scoreForChunk(page, chunk, out));
    EXPECT_EQ(out["v"], "42");
    EXPECT_EQ(scorer.getScores(), literalScores(page, chunk));
}
