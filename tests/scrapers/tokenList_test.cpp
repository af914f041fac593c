#include "scrapers/tokenList.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "LogCapture.h"
#include "support/CaptureStream.h"
#include "util/regex.h"

namespace {

using T = tokenList;

std::vector<std::string> dump(const tokenList& list) {
    std::vector<std::string> out;
    for (const T::token& t : list.getTokens()) out.push_back(T::printToken(t));
    return out;
}

T::token pageText(const std::string& text) {
    tokenList page(text, false, true);
    return page.at(0);
}

T::token pageTag(const std::string& html) {
    tokenList page(html, false, true);
    return page.at(0);
}

}  // namespace

TEST(TokenList, TagsTextAndModifiers) {
    tokenList list("<td>Temp<%data=temp,score=50></td>", false, true);
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list.at(0).type, T::TOKEN_TAG);
    EXPECT_EQ(list.at(0).subtype, T::TAG_OPEN);
    EXPECT_EQ(list.at(0).tagName, "td");
    EXPECT_EQ(T::getFromTokenHash(list.at(0), T::TOK_TAG_ARGS), "");
    EXPECT_EQ(list.at(1).type, T::TOKEN_TEXT);
    EXPECT_EQ(list.at(1).text, "Temp");
    EXPECT_EQ(list.at(1).score, 50);
    EXPECT_EQ(list.at(1).hash, (std::map<std::string, std::string>{{"data", "temp"}}));
    EXPECT_FALSE(list.at(1).isSpace);
    EXPECT_EQ(list.at(2).subtype, T::TAG_CLOSE);
    EXPECT_EQ(list.at(2).tagName, "td");
    EXPECT_EQ(list.at(3).type, T::TOKEN_TEXT);
    EXPECT_EQ(list.at(3).text, "");
    EXPECT_TRUE(list.at(3).isSpace);
    EXPECT_EQ(list.scoreOf(1), 50);
    EXPECT_EQ(list.scoreOf(0), 100);
    EXPECT_EQ(list.getDataTokenKey(), "temp");

    // A modifier before any token is ignored; regex needs exactly "1".
    tokenList first("<%regex=1>x<%regex=yes>", false, true);
    ASSERT_EQ(first.size(), 2);
    EXPECT_FALSE(first.at(0).hasRegex);
    EXPECT_TRUE(first.at(0).hash.empty());

    // Empty items are skipped, a bare key or "key=" is switched on, the value
    // keeps everything after the first "=", blanks are part of keys, and
    // numbers too large for an int are clamped.
    tokenList mods("x<%a,,b=,c=d=e, f=2,g=h=,minLength=4,maxLength=9,score=99999999999,regex=1>", false, true);
    const T::token& x = mods.at(0);
    EXPECT_EQ(x.hash.at("a"), "1");
    EXPECT_EQ(x.hash.at("b"), "1");
    EXPECT_EQ(x.hash.at("c"), "d=e");
    EXPECT_EQ(x.hash.at(" f"), "2");
    EXPECT_EQ(x.hash.at("g"), "h=");
    EXPECT_EQ(x.minLength, 4);
    EXPECT_EQ(x.maxLength, 9);
    EXPECT_EQ(x.score, 2147483647);
    EXPECT_TRUE(x.hasRegex);
    EXPECT_EQ(x.hash.size(), 5u);

    // modifyToken takes the piece with or without its "%".
    T::token t;
    std::string piece = "%score=7,data=k";
    mods.modifyToken(t, piece);
    EXPECT_EQ(t.score, 7);
    EXPECT_EQ(T::getFromTokenHash(t, "data"), "k");
}

TEST(TokenList, TagNamesAndArguments) {
    tokenList list("<TD Class=x><td\nclass=x>a<//B  y >", false, true);
    ASSERT_GE(list.size(), 4);
    EXPECT_EQ(list.at(0).tagName, "td");
    EXPECT_EQ(T::getFromTokenHash(list.at(0), T::TOK_TAG_ARGS), "Class=x");
    EXPECT_EQ(list.at(1).tagName, "td\nclass=x");
    EXPECT_EQ(T::getFromTokenHash(list.at(1), T::TOK_TAG_ARGS), "");
    EXPECT_EQ(list.at(3).tagName, "b");
    EXPECT_EQ(list.at(3).subtype, T::TAG_CLOSE);
    EXPECT_EQ(T::getFromTokenHash(list.at(3), T::TOK_TAG_ARGS), " y ");

    const std::string args250(250, 'a');
    tokenList longArgs("<a " + args250 + "><b " + args250 + "b>", false, true);
    EXPECT_EQ(T::getFromTokenHash(longArgs.at(0), T::TOK_TAG_ARGS), args250);
    EXPECT_EQ(T::getFromTokenHash(longArgs.at(1), T::TOK_TAG_ARGS), "");
    EXPECT_EQ(longArgs.at(1).tagName, "b");

    // An unclosed tag keeps its "<"; a nameless tag and "<>" do not stop the parse.
    tokenList open("a<b", false, true);
    ASSERT_EQ(open.size(), 2);
    EXPECT_EQ(open.at(0).text, "a");
    EXPECT_EQ(open.at(1).tagName, "<b");
    tokenList odd("<//><>x</ p>", false, true);
    ASSERT_EQ(odd.size(), 4);
    EXPECT_EQ(odd.at(0).tagName, "");
    EXPECT_EQ(odd.at(0).subtype, T::TAG_CLOSE);
    EXPECT_EQ(odd.at(1).text, "x");
    EXPECT_EQ(T::getFromTokenHash(odd.at(2), T::TOK_TAG_ARGS), "p");
    tokenList lone("<", false, true);
    ASSERT_EQ(lone.size(), 1);
    EXPECT_EQ(lone.at(0).tagName, "<");

    // A text ends with its own last run, or with an empty space token after a tag.
    tokenList tail("<p>x", false, true);
    EXPECT_EQ(tail.at(tail.size() - 1).text, "x");
    tokenList empty("", false, true);
    ASSERT_EQ(empty.size(), 1);
    EXPECT_TRUE(empty.at(0).isSpace);
}

TEST(TokenList, SkippedRegionsAndBody) {
    LogCapture log;
    tokenList select("<select><option>a</option></select>", false, true);
    EXPECT_EQ(dump(select), (std::vector<std::string>{"tag=[select] (score 100) ", "text=[] (score 100) "}));

    tokenList body("<html><head><title>x</title></head><body><p>y</p></body></html>", true, true);
    EXPECT_EQ(dump(body), (std::vector<std::string>{"tag=[body] (score 100) ", "tag=[p] (score 100) ",
                                                    "text=[y] (score 100) ", "tag=[p] (score 100) "}));
    EXPECT_TRUE(body.isBodyOnly());

    for (const char* html : {"<!-- a <b> -->", "<script>x<y</script>", "<!---->", "<!-->", "<scroll>a</script>"}) {
        tokenList list(html, false, true);
        ASSERT_EQ(list.size(), 1) << html;
        EXPECT_EQ(list.at(0).text, "") << html;
    }
    // Upper-case scripts go through the tag path and their contents are dropped by the flag.
    tokenList upper("a<SCRIPT>var x = 1 > 0;</SCRIPT>b", false, true);
    EXPECT_EQ(dump(upper), (std::vector<std::string>{"text=[a] (score 100) ", "tag=[script] (score 100) ",
                                                     "text=[b] (score 100) "}));
    EXPECT_EQ(log.errors(), "");

    // Unclosed regions drop the rest of the text and say so.
    tokenList script("a<script>never closed", false, true);
    EXPECT_EQ(script.size(), 1);
    EXPECT_NE(log.errors().find("script is never closed"), std::string::npos);
    tokenList sel("a<select>b<p>c", false, true);
    EXPECT_EQ(sel.size(), 1);
    EXPECT_NE(log.errors().find("select is never closed"), std::string::npos);
    // Look-ahead at the very end of the text stays inside it.
    for (const char* html : {"<", "<!", "<!-", "<s", "<sc", "x<scr", "<!--", "<!---"}) {
        tokenList cut(html, false, true);
        EXPECT_LE(cut.size(), 1) << html;
    }
}

TEST(TokenList, WhiteSpaceTestAgreesWithThePattern) {
    for (const char* s : {"", " \t\r\n\v\f", "&nbsp;", " &nbsp;&nbsp; "}) EXPECT_TRUE(T::isWhiteSpaceText(s)) << s;
    for (const char* s : {"x", "&NBSP;", "&nbsp", "&nbsp;x", "\xa0"}) EXPECT_FALSE(T::isWhiteSpaceText(s)) << s;

    const char alphabet[] = {' ', '\t', '\n', '&', 'n', 'b', 's', 'p', ';', 'x', '\r', '\xa0'};
    std::mt19937 random(7);
    regex pattern("^([[:space:]]|[&]nbsp[;])*$", RegexFlags::Extended);
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        const int length = static_cast<int>(random() % 14);
        for (int k = 0; k < length; ++k) {
            if (random() % 3 == 0) {
                s += "&nbsp;";
            } else {
                s += alphabet[random() % sizeof alphabet];
            }
        }
        ASSERT_EQ(T::isWhiteSpaceText(s), pattern.match(s)) << "[" << s << "]";
    }
}

TEST(TokenList, IndexAndLookups) {
    tokenList list("<tr><td>a</td><td>b<%data=x></td></tr>", false, true);
    list.parseHtml("<td>c<%data=y,score=5></td>", false, true);
    const auto& index = list.getIndex();
    EXPECT_EQ(index.at("td"), (std::vector<int>{1, 3, 4, 6, 9, 11}));
    EXPECT_EQ(index.at("chardata"), (std::vector<int>{2, 5, 8, 10, 12}));
    EXPECT_EQ(index.at("tr"), (std::vector<int>{0, 7}));
    for (const auto& [key, positions] : index) {
        for (int p : positions) {
            const T::token& t = list.at(p);
            EXPECT_EQ(t.type == T::TOKEN_TAG ? t.tagName : list.getChardataLabel(), key);
        }
    }
    EXPECT_EQ(list.getTokenIdxListByType(list.at(1)), &index.at("td"));
    EXPECT_EQ(list.getTokenIdxListByType(list.at(2)), &index.at("chardata"));
    T::token comment;
    comment.type = T::TOKEN_COMMENT;
    EXPECT_EQ(list.getTokenIdxListByType(comment), nullptr);

    EXPECT_EQ(list.getNumberOfDataTokens(), 2);
    EXPECT_EQ(list.findNextTokenWithKey("data", 0), 5);
    EXPECT_EQ(list.findNextTokenWithKey("data", 6), 10);
    EXPECT_EQ(list.findNextTokenWithKey("data", 11), -1);
    EXPECT_EQ(list.findNextTokenWithKey("tagargs", 2), 3);
    EXPECT_EQ(list.findNextTokenWithType(list.at(3), 4), 6);   // the next close td
    EXPECT_EQ(list.findNextTokenWithType(list.at(2), 3), 5);   // the next text
    EXPECT_EQ(list.findNextTokenWithType(list.at(0), 1), -1);  // only a close tr follows
    EXPECT_TRUE(T::doSubtypesMatch(list.at(1), list.at(4)));
    EXPECT_FALSE(T::doSubtypesMatch(list.at(1), list.at(3)));
    EXPECT_FALSE(T::doSubtypesMatch(list.at(2), list.at(5)));

    tokenList copy = list;
    copy.setOnlyNthDataToken(1);
    EXPECT_EQ(copy.getNumberOfDataTokens(), 1);
    EXPECT_EQ(copy.getDataTokenKey(), "y");
    EXPECT_EQ(copy.at(10).score, 5);
    EXPECT_EQ(list.getDataTokenKey(), "x");  // the original is untouched
    EXPECT_EQ(copy.getIndex(), list.getIndex());

    tokenList unindexed("<td>a</td>", false, false);
    EXPECT_TRUE(unindexed.getIndex().empty());
    EXPECT_FALSE(unindexed.isIndexed());
}

TEST(TokenList, SimilaritySearch) {
    LogCapture log;
    tokenList bounded("<td><%minLength=3>x</td>", false, true);
    EXPECT_EQ(bounded.fastFindTokenSimilarTo(pageTag("<td>")), -1);
    EXPECT_EQ(bounded.fastFindTokenSimilarTo(pageTag("<td>")), -1);
    EXPECT_EQ(LogCapture::count(log.errors(), "Min Length[3]\n"), 2u);
    EXPECT_EQ(bounded.fastFindTokenSimilarTo(pageTag("</td>")), 2);
    tokenList allowed("<td><%minLength=2>x</td>", false, true);
    EXPECT_EQ(allowed.fastFindTokenSimilarTo(pageTag("<td class=a>")), 0);
    tokenList capped("<td><%maxLength=1>x</td><td>", false, true);
    EXPECT_EQ(capped.findTokenSimilarTo(pageTag("<td>")), 3);

    tokenList text("abc<%minLength=4><b>abc<b> <i>", false, true);
    tokenList textUnindexed("abc<%minLength=4><b>abc<b> <i>", false, false);
    EXPECT_EQ(text.findTokenSimilarTo(pageText("abc")), 2);
    EXPECT_EQ(textUnindexed.findTokenSimilarTo(pageText("abc")), 0);
    EXPECT_EQ(text.findTokenSimilarTo(pageText(" \n")), 4);
    EXPECT_EQ(textUnindexed.findTokenSimilarTo(pageText(" \n")), 4);
    EXPECT_EQ(text.findTokenSimilarTo(pageText("abcd")), -1);
    EXPECT_EQ(text.findTokenSimilarTo(pageTag("<p>")), -1);
    T::token comment;
    comment.type = T::TOKEN_COMMENT;
    EXPECT_EQ(text.findTokenSimilarTo(comment), -1);
    EXPECT_EQ(textUnindexed.findTokenSimilarTo(comment), -1);

    // Regular expressions match anywhere, ignoring case; tags match on their arguments.
    tokenList re("<img src=.*sun><%regex=1><img>[0-9]+ F<%regex=1>", false, true);
    re.compileRegexes();
    EXPECT_EQ(re.findTokenSimilarTo(pageTag("<img SRC=/i/SUNNY.gif>")), 0);
    EXPECT_EQ(re.findTokenSimilarTo(pageTag("<img src=/i/rain.gif>")), 1);
    EXPECT_EQ(re.findTokenSimilarTo(pageText("Temp 72 f")), 2);
    EXPECT_EQ(re.findTokenSimilarTo(pageText("Temp")), -1);
    tokenList reUnindexed("<img src=.*sun><%regex=1><img>", false, false);
    EXPECT_EQ(reUnindexed.findTokenSimilarTo(pageTag("<img src=rain>")), 1);
    EXPECT_EQ(reUnindexed.findTokenSimilarTo(pageTag("<img src=sun>")), 0);

    // A bad template pattern is reported once, when checked, and never matches.
    CaptureStderr err;
    tokenList bad("<p>([0-9]<%regex=1>", false, true);
    bad.compileRegexes();
    bad.compileRegexes();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(bad.findTokenSimilarTo(pageText("([0-9]")), -1);
    EXPECT_TRUE(bad.isPatternBad(1));
    EXPECT_FALSE(bad.isPatternBad(0));
    EXPECT_EQ(LogCapture::count(err.text(), "BAD REGEX"), 1u);
}

TEST(TokenList, ValueTextAndDump) {
    tokenList list("<a href=x.html>Temp: 72&deg;F", false, true);
    EXPECT_EQ(list.reconstructStringFromToken(0, ""), "href=x.html");
    EXPECT_EQ(list.reconstructStringFromToken(1, ""), "Temp: 72&deg;F");
    EXPECT_EQ(list.reconstructStringFromToken(1, "([0-9]+)"), "72");
    EXPECT_EQ(list.reconstructStringFromToken(1, "TEMP"), "");
    EXPECT_EQ(list.reconstructStringFromToken(1, "(rain)"), "Temp: 72&deg;F");
    EXPECT_EQ(list.reconstructStringFromToken(0, "(x)|(html)"), "x");
    EXPECT_EQ(list.reconstructStringFromToken(5, ""), "");
    EXPECT_EQ(list.reconstructStringFromToken(-1, ""), "");

    tokenList tpl("<td class=x>Hi<%regex=1,score=20>", false, true);
    std::ostringstream os;
    os << tpl;
    EXPECT_EQ(os.str(), "tag=[td] args=[class=x] (score 100) \ntext=[Hi] ^ (score 20) \ntext=[] (score 100) \n");
}
