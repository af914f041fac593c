// Hostile pages against the National Weather Service scrape through the
// loopback fixture server: station reports with huge lines, replies over the
// size limit, and a stop raised while a large page is being read. The checks
// are that the work ends and what it gives; the speed is measured in
// bench/nws_scrape_bench.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <thread>

#include "LogCapture.h"
#include "support/CaptureStream.h"
#include "NwsTestSupport.h"
#include "scrapers/scanLimits.h"
#include "scrapers/tokenScorer.h"
#include "util/StopFlag.h"
#include "util/regex.h"

using nwstest::key;

namespace {

using SteadyClock = std::chrono::steady_clock;

const char* const kPagePath = "/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX";
const char* const kReportPath = "/pub/data/observations/metar/decoded/KDSM.TXT";
// Work that ends within this is done; the hostile reports used to take minutes.
constexpr auto kGenerousBound = std::chrono::seconds(30);

std::string valueOf(const StringMap& table, const std::string& name) {
    return table.count(name) ? table.at(name) : "<absent>";
}

std::string realReport() { return fixtureText("nws/observations/KDSM.TXT"); }

// `bytes` bytes of 'a', with ":x" (a colon not followed by a blank) every `colonEvery` bytes.
std::string longLine(size_t bytes, size_t colonEvery = 0) {
    std::string line;
    line.reserve(bytes + 2);
    while (line.size() < bytes) line += colonEvery != 0 && line.size() % colonEvery == colonEvery - 2 ? ":x" : "a";
    return line;
}

// The real report with `line` put after its first line (or in place of it).
std::string reportWith(const std::string& line, bool asFirstLine = false) {
    const std::string report = realReport();
    const size_t firstEnd = report.find('\n') + 1;
    if (asFirstLine) return line + "\n" + report.substr(firstEnd);
    return report.substr(0, firstEnd) + line + "\n" + report.substr(firstEnd);
}

// The forecast page with its body repeated until the page has about `bytes` bytes.
std::string largeForecastPage(size_t bytes) {
    const std::string page = fixtureText("nws/forecast/point_des_moines.html");
    const size_t bodyStart = page.find("<body>") + 6;
    const size_t bodyEnd = page.find("</body>");
    const std::string body = page.substr(bodyStart, bodyEnd - bodyStart);
    std::string out = page.substr(0, bodyStart);
    while (out.size() < bytes) out += body;
    return out + page.substr(bodyEnd);
}

struct NwsHostile : ::testing::Test, nwstest::NwsFixture {
    const std::string desMoines = key({"ifps", "crh", "Des+Moines", "IA", "DMX"});

    void serve(const std::string& page, const std::string& report) {
        server.route("www.crh.noaa.gov", kPagePath, FixtureReply::page(page));
        server.route(NwsScraper::kObservationHost, kReportPath, FixtureReply::page(report, 200, "text/plain"));
    }
};

}  // namespace

TEST_F(NwsHostile, HugeStationReportLinesEndTheScrapeWithTheOtherValues) {
    struct Case {
        const char* name;
        std::string report;
        std::string visibility;  // from the report's other lines
        std::string nighttime;   // needs the coordinates of the first line
        const char* logged;      // a line of the log, or ""
    };
    const Case cases[] = {
        {"100 KB without a colon", reportWith(longLine(100 << 10)), "10 mi", "no", "1 line(s) longer than 4096"},
        {"1 MB without a colon", reportWith(longLine(1000 << 10)), "10 mi", "no", "1 line(s) longer than 4096"},
        {"100 KB of colons without a blank", reportWith(longLine(100 << 10, 4096)), "10 mi", "no", ""},
        {"4 KB of colons without a blank, many times",
         reportWith(longLine(4000, 1000) + "\n" + longLine(4000, 1000) + "\n" + longLine(4000, 3999)), "10 mi", "no",
         ""},
        {"a huge first line", reportWith(longLine(200 << 10), true), "10 mi", "<absent>", ""},
        // Over the size limit: the report is read as far as it came, which
        // ends inside the long line, before the visibility.
        {"2 MB", reportWith(longLine(2 << 20)), "<absent>", "no", "1 line(s) longer than 4096"},
    };
    const std::string page = fixtureText("nws/forecast/point_des_moines.html");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        serve(page, c.report);
        LogCapture log;
        ScrapeReport report;
        const auto start = SteadyClock::now();
        EXPECT_EQ(scraper->scrape(desMoines, report), 0);
        EXPECT_LT(SteadyClock::now() - start, SteadyClock::duration(kGenerousBound));
        const StringMap& out = report.getOutputHashRef();
        EXPECT_EQ(valueOf(out, "temperature"), "30");
        EXPECT_EQ(valueOf(out, "weatherCode"), "30");
        EXPECT_EQ(valueOf(out, "visibility"), c.visibility);
        EXPECT_EQ(valueOf(out, "nighttime"), c.nighttime);
        if (*c.logged != '\0') {
            EXPECT_NE((log.errors() + log.output()).find(c.logged), std::string::npos);
        }
    }
}

TEST_F(NwsHostile, AForecastPageCutAtTheSizeLimitIsReadAsFarAsItCame) {
    // A page past the limit is cut there and used: its weather, at the top,
    // is read as from a page under the limit, from one request.
    const std::string page = fixtureText("nws/forecast/point_des_moines.html");
    const size_t bodyEnd = page.find("</body>");
    for (const auto& [pageBytes, cut] : {std::pair<size_t, bool>{1000 << 10, false}, {1536 << 10, true}}) {
        const std::string padded =
            page.substr(0, bodyEnd) + std::string(pageBytes - page.size(), ' ') + page.substr(bodyEnd);
        serve(padded, realReport());
        server.clearRequests();
        CaptureStderr httpLog;
        ScrapeReport report;
        EXPECT_EQ(scraper->scrape(desMoines, report), 0) << pageBytes;
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "temperature"), "30") << pageBytes;
        EXPECT_EQ(valueOf(report.getOutputHashRef(), "weatherCode"), "30") << pageBytes;
        EXPECT_EQ(server.requestCount(), 2u) << pageBytes;  // the page and the station report
        EXPECT_EQ(httpLog.text().find("page seems too long") != std::string::npos, cut) << pageBytes;
    }
}

TEST_F(NwsHostile, ObservationLinesSplitAsTheFieldPatternDoes) {
    // The one-pass split must give what "([^:]*)[:] (.*)" gives, line by line.
    regex field("([^:]*)[:] (.*)", RegexFlags::Extended);
    auto check = [&field](const std::string& line) {
        std::vector<std::string> groups;
        const bool matched = field.matchMany(line, groups) && groups.size() == 2;
        std::string label = "untouched";
        std::string value = "untouched";
        ASSERT_EQ(NwsScraper::splitObservationLine(line, label, value), matched) << line;
        if (matched) {
            EXPECT_EQ(label, groups[0]) << line;
            EXPECT_EQ(value, groups[1]) << line;
        }
    };
    const std::vector<std::string> lines = {"Visibility: 10 mile(s):0", "", ":", ": ", ": x", "a:b", "a:b: c",
                                            "a::: b", "ob: KDSM 081654Z: x", "x:y:z", "a :b", "12:34 : 56",
                                            "no colon at all", std::string("a\0: b", 5), std::string("a: b\0c", 6),
                                            "\xff\x80: \xc3\xa9"};
    for (const std::string& line : lines) {
        check(line);
    }
    // Random lines over a small alphabet that makes colons and blanks common.
    std::mt19937 random(23);
    const char alphabet[] = {':', ' ', 'a', 'b', '\xe9', '\0'};
    for (int n = 0; n < 3000; ++n) {
        std::string line(random() % 12, 'a');
        for (char& c : line) c = alphabet[random() % sizeof alphabet];
        check(line);
    }
}

// Raises the stop when the tokenizer reports the script that a page leaves
// open, which it does when it has read the page and before scoring starts.
std::atomic<StopFlag*> gStopOnScript{nullptr};
void stopOnUnclosedScript(scraperLog::Stream, const std::string& text) {
    if (text.find("script is never closed") != std::string::npos) gStopOnScript.load()->stop();
}

TEST_F(NwsHostile, AStopRaisedDuringAScrapeEndsIt) {
    // A long page that ends in an open script. Not longer: the sanitizers'
    // regexec measures each token's subject to the end of the page, so the
    // checked builds' scoring grows with the square of the page.
    serve(largeForecastPage(200 << 10) + "<script>", realReport());
    auto flag = std::make_shared<StopFlag>();
    scraper->setStopFlag(flag);
    gStopOnScript = flag.get();
    scraperLog::setSink(&stopOnUnclosedScript);
    ScrapeReport report;
    auto scrape = std::async(std::launch::async, [&] { return scraper->scrape(desMoines, report); });
    const bool ended = scrape.wait_for(kGenerousBound) == std::future_status::ready;
    scraperLog::setSink(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(flag->isStopped());
    EXPECT_EQ(scrape.get(), 3);
    EXPECT_EQ(valueOf(report.getOutputHashRef(), "temperature"), "<absent>");
    EXPECT_EQ(server.requestCount(), 1u);  // no station report was asked for

    // Without the stop the same page is read in full.
    scraper->setStopFlag(nullptr);
    LogCapture quiet;
    ScrapeReport whole;
    EXPECT_EQ(scraper->scrape(desMoines, whole), 0);
    EXPECT_EQ(valueOf(whole.getOutputHashRef(), "temperature"), "30");
}

TEST(StopFlagInReading, AStopEndsTokenizingScoringAndReportReading) {
    // Deterministic: the flag is set before the work starts.
    const std::string page = largeForecastPage(200 << 10);
    StopFlag stop;
    const tokenList whole(page, true, true);
    stop.stop();
    const tokenList cut(page, true, true, &stop);
    EXPECT_GT(whole.size(), 4 * scanLimits::kStopCheckEvery);
    EXPECT_LT(cut.size(), whole.size());

    auto scraper = nwstest::makeScraper();
    const scraperConfig& config = scraper->scrapeConfig();
    StringMap scored;
    StringMap stopped;
    tokenScorer scorer;
    tokenScorer stoppedScorer(&stop);
    for (const scraperConfig::chunk& chunk : config.getChunkList()) {
        scorer.scoreForChunk(whole, chunk, scored);
        stoppedScorer.scoreForChunk(whole, chunk, stopped);
    }
    EXPECT_EQ(valueOf(scored, "temperature"), "30");
    EXPECT_TRUE(stopped.empty());

    auto flag = std::make_shared<StopFlag>();
    StringMap out;
    std::string lines;
    for (int i = 0; i < 3 * scanLimits::kStopCheckEvery; ++i) lines += "Visibility: 10 mile(s):0\n";
    EXPECT_TRUE(scraper->readObservationText(lines, out));
    EXPECT_EQ(valueOf(out, "visibility"), "10 mi");
    scraper->setStopFlag(flag);
    flag->stop();
    out.clear();
    EXPECT_FALSE(scraper->readObservationText(lines, out));
    EXPECT_TRUE(out.empty());
}
