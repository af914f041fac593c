#include "scrapers/scraperConfig.h"

#include "scrapers/AggrScraper.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "LogCapture.h"
#include "support/ScraperFixtures.h"
#include "support/TempDir.h"

namespace {
using Map = std::map<std::string, std::string>;
}

TEST(ScraperConfig, KeyValueLines) {
    struct Case {
        const char* line;
        bool yields;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"a=b=c", true, "a", "b=c"},   {"a==b", true, "a", "=b"},    {"=x", true, "", "x"},
        {"a=", false, "", ""},         {"a", false, "", ""},         {"", false, "", ""},
        {"a=b=", true, "a", "b="},     {"# host=x", false, "", ""},  {" # host=x", true, " # host", "x"},
        {"host = x", true, "host ", " x"}, {"v=1\r", true, "v", "1\r"}, {"=", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string key = "unset";
        std::string value = "unset";
        EXPECT_EQ(scraperConfig::parseKeyValuePair(c.line, key, value), c.yields) << c.line;
        if (c.yields) {
            EXPECT_EQ(key, c.key) << c.line;
            EXPECT_EQ(value, c.value) << c.line;
        }
    }

    scraperConfig config("host=a\nuri=/x?y=1\n\n#credit=no\nhost=b\ncredit=c\r\nbare\n");
    EXPECT_EQ(config.getGlobalConfig(), (Map{{"host", "b"}, {"uri", "/x?y=1"}, {"credit", "c\r"}}));
    EXPECT_TRUE(config.getChunkList().empty());
}

TEST(ScraperConfig, ChunksAndTemplates) {
    LogCapture log;
    const std::string text =
        "host=www.example.com\n"
        "%chunk_start temperature\n"
        "max_found=2\n"
        "desired_token=ignored\n"
        "%html_start\n"
        "<td class=t>#=<%score=20>\n"
        "%html_end\n"
        "temp-post=([0-9]+)\n"
        "%html_start\n"
        "<b>x<%data=temp,score=50,minLength=2></b> <i><%data=hi,map=1>\n"
        "%chunk_start is body text here\n"
        "%html_end\n"
        "%chunk_end\n"
        "%chunk_start icons\n"
        "code=30,31,32\n"
        "%chunk_end trailing words\n"
        "%chunk_start\n"
        "code=131\n"
        "%chunk_end\n"
        "after=1\n";
    scraperConfig config(text);
    EXPECT_EQ(config.getGlobalConfig(), (Map{{"host", "www.example.com"}, {"after", "1"}}));
    const auto& chunks = config.getChunkList();
    ASSERT_EQ(chunks.size(), 4u);

    // One chunk per data token, each keeping only its own data marker.
    for (int i = 0; i < 2; ++i) {
        const scraperConfig::chunk& c = chunks[static_cast<size_t>(i)];
        EXPECT_EQ(c.templateTokens.getNumberOfDataTokens(), 1);
        EXPECT_EQ(c.config.at("desired_token"), i == 0 ? "temp" : "hi");
        EXPECT_EQ(c.config.at("max_found"), "2");
        EXPECT_EQ(c.config.at("temp-post"), "([0-9]+)");
        EXPECT_TRUE(c.templateTokens.isIndexed());
        EXPECT_FALSE(c.templateTokens.isBodyOnly());
    }
    // Template lines are raw: "#" and "=" mean nothing there, and blocks join with a newline.
    const tokenList& first = chunks[0].templateTokens;
    EXPECT_EQ(first.at(0).tagName, "td");
    EXPECT_EQ(first.at(1).text, "#=");
    EXPECT_EQ(first.at(1).score, 20);
    EXPECT_EQ(first.at(2).text, "\n");
    EXPECT_EQ(first.getDataTokenKey(), "temp");
    const tokenList& second = chunks[1].templateTokens;
    EXPECT_EQ(second.getDataTokenKey(), "hi");
    // The other copy's data token keeps its weight and bounds.
    const int x = first.findNextTokenWithKey("data", 0);
    ASSERT_GE(x, 0);
    EXPECT_EQ(second.at(x).text, "x");
    EXPECT_EQ(second.at(x).score, 50);
    EXPECT_EQ(second.at(x).minLength, 2);
    EXPECT_FALSE(second.at(x).hash.count("data"));
    EXPECT_EQ(tokenList::getFromTokenHash(second.at(second.findNextTokenWithKey("data", 0)), "map"), "1");
    // A nested chunk marker is body text of the template.
    bool sawMarker = false;
    for (const auto& t : first.getTokens()) sawMarker |= t.text.find("%chunk_start is body") != std::string::npos;
    EXPECT_TRUE(sawMarker);

    // Style entries without a template are stored once.
    EXPECT_EQ(chunks[2].templateTokens.getNumberOfDataTokens(), 0);
    EXPECT_FALSE(chunks[2].config.count("desired_token"));
    Map out{{"stale", "x"}};
    EXPECT_TRUE(config.getDataForCode(31, out));
    EXPECT_EQ(out, (Map{{"code", "30,31,32"}}));
    EXPECT_TRUE(config.getDataForCode("131", out));
    EXPECT_EQ(out, (Map{{"code", "131"}}));
    Map untouched{{"k", "v"}};
    EXPECT_FALSE(config.getDataForCode(3, untouched));
    EXPECT_FALSE(config.getDataForCode("", untouched));
    EXPECT_EQ(untouched, (Map{{"k", "v"}}));
    EXPECT_EQ(log.errors(), "");
}

TEST(ScraperConfig, UnclosedChunkDropsTheRestAndSaysSo) {
    LogCapture log;
    scraperConfig config(
        "a=1\n%chunk_start\nx=1\n%chunk_end\n%chunk_start\n%html_start\n<b>v<%data=v>\nb=2\n%chunk-end\n");
    EXPECT_EQ(config.getGlobalConfig(), (Map{{"a", "1"}}));
    ASSERT_EQ(config.getChunkList().size(), 1u);
    EXPECT_EQ(config.getChunkList()[0].config, (Map{{"x", "1"}}));
    EXPECT_NE(log.errors().find("chunk opened on line 5 is never closed"), std::string::npos);
    // A marker only has to begin the line.
    scraperConfig prefixed("%chunk_start\nx=1\n%chunk_endless\n");
    EXPECT_EQ(prefixed.getChunkList().size(), 1u);

    // An unclosed template block runs to the end of its chunk.
    scraperConfig open("%chunk_start\n%html_start\n<b>v<%data=v>\nk=1\n%chunk_end\n");
    ASSERT_EQ(open.getChunkList().size(), 1u);
    EXPECT_FALSE(open.getChunkList()[0].config.count("k"));
    EXPECT_EQ(open.getChunkList()[0].config.at("desired_token"), "v");
}

TEST(ScraperConfig, BadTemplatePatternIsCheckedOnceAtLoad) {
    testing::internal::CaptureStderr();
    scraperConfig config("%chunk_start\n%html_start\n<b>[a-<%regex=1><i>v<%data=a><i>w<%data=b>\n%html_end\n%chunk_end\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(LogCapture::count(err, "BAD REGEX"), 1u);
    ASSERT_EQ(config.getChunkList().size(), 2u);
    for (const auto& c : config.getChunkList()) EXPECT_TRUE(c.templateTokens.isPatternBad(1));
}

TEST(ScraperConfig, Dump) {
    scraperConfig config("host=h\n%chunk_start\nk=v\n%html_start\n<td>x<%data=d>\n%html_end\n%chunk_end\n");
    std::ostringstream os;
    os << config;
    EXPECT_EQ(os.str(),
              "Global Config start --------------\n"
              "host -> h\n"
              "Global Config end --------------\n"
              "---- Chunk: \n"
              "tag=[td] (score 100) \n"
              "text=[x] (score 100) \n"
              "text=[] (score 100) \n"
              "desired_token -> d\n"
              "k -> v\n");
}

TEST(ScraperConfig, FilesThatCannotServeAreNamedInTheLog) {
    TempDir dir;
    std::ofstream(dir.file("good.conf")) << "host=x\n";
    std::ofstream(dir.file("empty.conf")).flush();
    struct Case {
        std::string path;
        const char* text;
        std::string logged;  // "" when nothing is said
    };
    const Case cases[] = {
        {dir.file("good.conf"), "host=x\n", ""},
        {dir.file("empty.conf"), "", "scraperConfig: the configuration file n2 (" + dir.file("empty.conf") +
                                         ") is empty\n"},
        {dir.file("none.conf"), "", "scraperConfig: the configuration file n2 (" + dir.file("none.conf") +
                                        ") is missing\n"},
        {dir.path().string(), "", "scraperConfig: the configuration file n2 (" + dir.path().string() +
                                      ") cannot be read: Is a directory\n"},
        {"", "", "scraperConfig: the configuration file n2 is missing from the bundle\n"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(scraperConfig::readConfigFile(c.path, "n2"), c.text) << c.path;
        EXPECT_EQ(log.errors(), c.logged) << c.path;
    }

    // An empty text is said when the configuration has a name; its source
    // simply finds nothing.
    LogCapture log;
    scraperConfig unnamed("");
    EXPECT_EQ(log.errors(), "");
    scraperConfig named("", "u2");
    EXPECT_EQ(log.errors(), "scraperConfig: the configuration u2 is empty; its source finds nothing\n");
    EXPECT_TRUE(named.getGlobalConfig().empty());
    EXPECT_TRUE(named.getChunkList().empty());

    // A source registered with an empty text names it too.
    LogCapture sourceLog;
    AggrScraper aggr;
    aggr.initNwsScraper(shippedConfig("n1"), "", shippedConfig("n3"), shippedConfig("n4"));
    aggr.initAolScraper(shippedConfig("a1"), shippedConfig("a2"));
    EXPECT_EQ(sourceLog.errors(), "AggrScraper: the nws configuration n2 is empty; the source finds nothing\n");
    EXPECT_NE(aggr.scraperFor("nws"), nullptr);
}
