#include "util/regex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <thread>

#include "support/CaptureStream.h"

using Strings = std::vector<std::string>;

TEST(Regex, MatchAndGroups) {
    // flags 0 means extended syntax for match (no sub-match report) and matchOne.
    EXPECT_TRUE(regex::match("a+b", "xxaab", 0));
    EXPECT_FALSE(regex::match("a{2}b", "xab", 0));

    std::string out = "untouched";
    EXPECT_TRUE(regex::matchOne("([a-z]+)=([0-9]+)", "x=5", out, 0));
    EXPECT_EQ(out, "x");
    EXPECT_TRUE(regex::matchOne("x=", "x=5", out, 0));
    EXPECT_EQ(out, "");
    out = "untouched";
    EXPECT_FALSE(regex::matchOne("([0-9]+)", "abc", out, 0));
    EXPECT_EQ(out, "untouched");

    Strings groups{"kept"};
    EXPECT_TRUE(regex::matchMany("(a)|(b)", "b", groups, 0));
    EXPECT_EQ(groups, (Strings{"kept", "b"}));

    EXPECT_TRUE(regex::match("HELLO", "say hello", 3));
    EXPECT_FALSE(regex::match("HELLO", "say hello", 1));
    EXPECT_TRUE(regex::match("HELLO", "say hello", 7));
}

TEST(Regex, CaretMatchesAtEverySearchStart) {
    Strings out;
    EXPECT_TRUE(regex::matchManyGlobal("^(a)", "aaa", out, 0));
    EXPECT_EQ(out, (Strings{"a", "a", "a"}));
}

TEST(Regex, MatchManyGlobal) {
    Strings out;
    EXPECT_TRUE(regex::matchManyGlobal("<b>([^<]*)</b>", "<b>1</b><b>2</b>", out, 0));
    EXPECT_EQ(out, (Strings{"1", "2"}));

    // A group that takes no part appends an empty string.
    out.clear();
    EXPECT_TRUE(regex::matchManyGlobal("(x)|(y)", "xy", out, 0));
    EXPECT_EQ(out, (Strings{"x", "", "", "y"}));

    out.clear();
    EXPECT_FALSE(regex::matchManyGlobal("(z)", "xy", out, 0));
    EXPECT_TRUE(out.empty());
}

TEST(Regex, ScansThatCouldStallStillEnd) {
    // Empty matches, and a last group that took no part, must not loop.
    Strings out;
    EXPECT_TRUE(regex::matchManyGlobal("(a*)", "bab", out, 0));
    EXPECT_FALSE(out.empty());
    out.clear();
    EXPECT_TRUE(regex::matchManyGlobal("(a)(b)?", "aaa", out, 0));
    EXPECT_EQ(out, (Strings{"a", "", "a", "", "a", ""}));

    out.clear();
    regex::split("x*", "abc", out, 0);
    EXPECT_EQ(out, (Strings{"abc"}));
    EXPECT_EQ(regex::substitute("a*", "baaac", "#", 0), "b#c");
    EXPECT_EQ(regex::substitute("^", "abc", "#", 0), "abc");
}

TEST(Regex, Split) {
    Strings out;
    regex::split(",", "a,b,,c,", out, 0);
    EXPECT_EQ(out, (Strings{"a", "b", "", "c"}));
    out.clear();
    regex::split(",", ",a", out, 0);
    EXPECT_EQ(out, (Strings{"", "a"}));
    out.clear();
    regex::split(",", "abc", out, 0);
    EXPECT_EQ(out, (Strings{"abc"}));
    out.clear();
    regex::split(",", "", out, 0);
    EXPECT_TRUE(out.empty());
    // Output vectors are appended to, never cleared.
    out = {"z"};
    regex::split(" +", "p  q", out, 0);
    EXPECT_EQ(out, (Strings{"z", "p", "q"}));
}

TEST(Regex, Substitute) {
    EXPECT_EQ(regex::substitute("[0-9]", "a1b22", "#", 0), "a#b##");
    EXPECT_EQ(regex::substitute("b", "abc", "\\1", 0), "a\\1c");
    EXPECT_EQ(regex::substitute("b", "", "#", 0), "");
    EXPECT_EQ(regex::substitute("q", "abc", "#", 0), "abc");
}

TEST(Regex, JoinAndHashes) {
    std::string out = "pre:";
    regex::join(", ", {"a", "b", "c"}, out);
    EXPECT_EQ(out, "pre:a, b, c");

    std::map<std::string, std::string> map{{"b", "2"}, {"a", "1=x"}};
    regex::joinHash(";", "=", map, out);
    EXPECT_EQ(out, "a=1=x;b=2");

    std::map<std::string, std::string> back{{"keep", "me"}};
    regex::splitHash(";", "=", out, back);
    EXPECT_EQ(back, (std::map<std::string, std::string>{{"a", "1=x"}, {"b", "2"}, {"keep", "me"}}));
}

TEST(Regex, CacheIsKeyedByPatternAndFlags) {
    regexCache& cache = getRegexCacheInstance();
    const std::string pattern = "cache-test-([0-9]+)";
    unsigned long before = cache.compileCount();
    regex first(pattern, 1);
    regex second(pattern, 3);
    regex third(pattern, 3);
    EXPECT_EQ(cache.compileCount(), before + 2);
    // Alternating flag sets are both cached: no further compiles.
    regex fourth(pattern, 1);
    regex fifth(pattern, 3);
    EXPECT_EQ(cache.compileCount(), before + 2);
    std::string out;
    EXPECT_TRUE(fifth.matchOne("CACHE-TEST-42", out));
    EXPECT_EQ(out, "42");
}

TEST(Regex, BadPatternIsReportedEveryTimeAndMatchesNothing) {
    for (int i = 0; i < 2; ++i) {
        CaptureStderr err;
        regex bad("a(b", 1);
        EXPECT_FALSE(bad.isValid());
        EXPECT_NE(err.text().find("regexCache: BAD REGEX : a(b. Not handling this."), std::string::npos);
        Strings out;
        EXPECT_FALSE(bad.match("ab"));
        EXPECT_FALSE(bad.matchMany("ab", out));
        EXPECT_FALSE(bad.matchManyGlobal("ab", out));
        bad.split("ab", out);
        EXPECT_EQ(out, (Strings{"ab"}));
        EXPECT_EQ(bad.substitute("ab", "#"), "ab");
    }
}

TEST(Regex, CopiesKeepTheirOwnPositions) {
    regex original("([a-z]+)", 1);
    regex copy = original;
    std::string a;
    std::string b;
    EXPECT_TRUE(original.matchOne("123abc", a));
    EXPECT_TRUE(copy.matchOne("xyz", b));
    EXPECT_EQ(a, "abc");
    EXPECT_EQ(b, "xyz");
}

TEST(Regex, ByteSemanticsInAnyLocale) {
    // In a UTF-8 locale "." would swallow a two-byte character whole.
    const char* previous = std::setlocale(LC_ALL, "C.UTF-8");
    std::string out;
    EXPECT_TRUE(regex::matchOne("^(.)", "\xc3\xa9t\xc3\xa9", out, 0));
    EXPECT_EQ(out, "\xc3");
    EXPECT_EQ(regex::substitute("\xa1", "72\xa1" "F", "", 0), "72F");
    std::setlocale(LC_ALL, previous ? previous : "C");
}

TEST(Regex, ThreadedUseOfOnePatternSharesTheCache) {
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &results] {
            for (int i = 0; i < 200; ++i) {
                std::string out;
                regex::matchOne("id=([0-9]+)", "id=" + std::to_string(t), out, 0);
                results[static_cast<size_t>(t)] = out;
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(results[static_cast<size_t>(t)], std::to_string(t));
}

TEST(Regex, ASlowSearchDoesNotHoldUpOtherThreadsOnTheSamePattern) {
    // From every start the pattern runs to the end of a line without a colon,
    // so this search takes a long time; a search of the same pattern on
    // another thread meanwhile gets a compiled copy of its own.
    const std::string pattern = "([^:]*)[:] (.*)slow-test";
    regexCache::Entry entry;
    ASSERT_EQ(getRegexCacheInstance().getRegex(pattern, RegexFlags::Extended, entry), 0);
    const size_t copiesBefore = entry.compiled->extraCopies();
    const std::string slowText(16 << 10, 'a');
    std::atomic<bool> started{false};
    std::atomic<bool> slowDone{false};
    std::thread slow([&] {
        started = true;
        std::string out;
        EXPECT_FALSE(regex::matchOne(pattern, slowText, out, RegexFlags::Extended));
        slowDone = true;
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string label;
    EXPECT_TRUE(regex::matchOne(pattern, "Visibility: 10 miles slow-test", label, RegexFlags::Extended));
    EXPECT_EQ(label, "Visibility");
    EXPECT_FALSE(slowDone.load());
    slow.join();
    EXPECT_EQ(entry.compiled->extraCopies(), copiesBefore + 1);
    // Later searches reuse the copies: none is compiled again.
    EXPECT_TRUE(regex::matchOne(pattern, "a: b slow-test", label, RegexFlags::Extended));
    EXPECT_EQ(entry.compiled->extraCopies(), copiesBefore + 1);
}

TEST(Regex, ScansOfTextsWithZeroBytesStopAtTheFirstOne) {
    // Searches read the text as a C string from each search start.
    const std::string text("a,b\0c,d", 7);
    Strings pieces;
    regex::split(",", text, pieces, 0);
    EXPECT_EQ(pieces, (Strings{"a", std::string("b\0c,d", 5)}));
    Strings groups;
    EXPECT_TRUE(regex::matchManyGlobal("([a-z])", text, groups, 0));
    EXPECT_EQ(groups, (Strings{"a", "b"}));
    EXPECT_EQ(regex::substitute("[a-z]", text, "#", 0), std::string("#,#\0c,d", 7));
    EXPECT_FALSE(regex::match("d", text, 0));
}
