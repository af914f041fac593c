// URL splitting and link resolution, and page fetches through the fixture server.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/CaptureStream.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "util/UrlUtils.h"

TEST(UrlUtils, SeparateUrl) {
    std::string host = "x";
    std::string path = "y";
    EXPECT_TRUE(UrlUtils::separateUrl("http://a.b/c d?x=1", host, path));
    EXPECT_EQ(host, "a.b");
    EXPECT_EQ(path, "/c%20d?x=1");
    EXPECT_TRUE(UrlUtils::separateUrl("http://a.b", host, path));
    EXPECT_EQ(host, "a.b");
    EXPECT_EQ(path, "/");
    EXPECT_TRUE(UrlUtils::separateUrl("http://127.0.0.1:8080/p", host, path));
    EXPECT_EQ(host, "127.0.0.1:8080");
    EXPECT_EQ(path, "/p");
    // A query right after the host, and "http://" inside a query.
    EXPECT_TRUE(UrlUtils::separateUrl("http://a.b?q=1", host, path));
    EXPECT_EQ(host, "a.b");
    EXPECT_EQ(path, "/?q=1");
    EXPECT_TRUE(UrlUtils::separateUrl("a.b/go?to=http://c.d/e", host, path));
    EXPECT_EQ(host, "a.b");
    EXPECT_EQ(path, "/go?to=http://c.d/e");
    EXPECT_FALSE(UrlUtils::separateUrl("abc", host, path));
    EXPECT_EQ(host, "");
    EXPECT_EQ(path, "");
}

TEST(UrlUtils, SplitHostPort) {
    std::string host;
    int port = 0;
    EXPECT_TRUE(UrlUtils::splitHostPort("a.b", host, port));
    EXPECT_EQ(host, "a.b");
    EXPECT_EQ(port, 80);
    EXPECT_TRUE(UrlUtils::splitHostPort("a.b:8080", host, port));
    EXPECT_EQ(host, "a.b");
    EXPECT_EQ(port, 8080);
    EXPECT_TRUE(UrlUtils::splitHostPort("a.b:", host, port));
    EXPECT_EQ(port, 80);
    for (const char* bad : {"", "a.b:0", "a.b:65536", "a.b:12x", ":80", "a.b:999999999999"}) {
        EXPECT_FALSE(UrlUtils::splitHostPort(bad, host, port)) << bad;
    }
}

TEST(UrlUtils, BuildUrlFromHref) {
    const std::string base = "http://a.b/dir/p.html?q=1";
    EXPECT_EQ(UrlUtils::buildUrlFromHref("http://c.d/e", base), "http://c.d/e");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("/x.html", base), "http://a.b/x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("./x.html", base), "http://a.b/dir/x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("x.html", base), "http://a.b/dir/x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("../x.html?y=2#top", base), "http://a.b/x.html?y=2#top");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("../../../x.html", base), "http://a.b/x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("sub/./y/../x.html", base), "http://a.b/dir/sub/x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("//c.d/e", base), "http://c.d/e");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("?z=3", base), "http://a.b/dir/p.html?z=3");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("#frag", base), "http://a.b/dir/p.html?q=1#frag");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("", base), "http://a.b/dir/p.html?q=1");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("x.html", "http://a.b/dir/"), "http://a.b/dir/x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("x.html", "http://a.b"), "http://a.b/x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("x.html", "http://a.b:81/d/p"), "http://a.b:81/d/x.html");
    // Short and odd bases never reach outside the text.
    EXPECT_EQ(UrlUtils::buildUrlFromHref("x.html", ""), "x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("x.html", "a"), "x.html");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("/x", "h"), "/x");
    EXPECT_EQ(UrlUtils::buildUrlFromHref("x", "http:"), "http:x");
}

TEST(UrlUtils, ReferenceResolutionExamplesOfTheUriStandard) {
    // RFC 3986, section 5.4: the normal and the abnormal examples.
    const std::pair<const char*, const char*> cases[] = {
        {"g:h", "g:h"}, {"g", "http://a/b/c/g"}, {"./g", "http://a/b/c/g"}, {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"}, {"//g", "http://g"}, {"?y", "http://a/b/c/d;p?y"}, {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"}, {"g#s", "http://a/b/c/g#s"}, {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"}, {"g;x", "http://a/b/c/g;x"}, {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"}, {".", "http://a/b/c/"}, {"./", "http://a/b/c/"}, {"..", "http://a/b/"},
        {"../", "http://a/b/"}, {"../g", "http://a/b/g"}, {"../..", "http://a/"}, {"../../", "http://a/"},
        {"../../g", "http://a/g"}, {"../../../g", "http://a/g"}, {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"}, {"/../g", "http://a/g"}, {"g.", "http://a/b/c/g."}, {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."}, {"..g", "http://a/b/c/..g"}, {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"}, {"g/./h", "http://a/b/c/g/h"}, {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"}, {"g;x=1/../y", "http://a/b/c/y"},
    };
    for (const auto& [href, resolved] : cases) {
        EXPECT_EQ(UrlUtils::buildUrlFromHref(href, "http://a/b/c/d;p?q"), resolved) << href;
    }

    // A redirect to a path of half a million segments resolves in one pass.
    std::string path;
    while (path.size() < (1000 << 10)) path += "/a/./b/..";
    std::string redirect;
    UrlUtils urls;
    ASSERT_TRUE(urls.getHeaderRedirect("http://h/p", "HTTP/1.0 302 Found\r\nLocation: " + path + "/end\r\n", redirect));
    std::string expected = "http://h";
    while (expected.size() < 8 + path.size() / 9 * 2) expected += "/a";
    EXPECT_EQ(redirect, expected + "/end");
}

TEST(UrlUtils, QueryArgumentsAnchorsAndDomains) {
    std::map<std::string, std::string> args{{"kept", "yes"}};
    EXPECT_TRUE(UrlUtils::gatherArgs("http://h/p?a=1&b=&c=3&d=4=5", args));
    EXPECT_EQ(args, (std::map<std::string, std::string>{{"kept", "yes"}, {"a", "1"}, {"c", "3"}}));
    {
        CaptureStdout out;
        EXPECT_FALSE(UrlUtils::gatherArgs("http://h/p", args));
        EXPECT_FALSE(UrlUtils::gatherArgs("http://h/p?&&", args));
        EXPECT_EQ(out.text(), "Couldn't get args!\nCouldn't match args!\n");
    }

    EXPECT_EQ(UrlUtils::removeUrlAnchors("http://h/p#a#b"), "http://h/p#a");
    EXPECT_EQ(UrlUtils::removeUrlAnchors("http://h/p"), "http://h/p");

    std::string domain = "untouched";
    EXPECT_TRUE(UrlUtils::getTopDomains("http://www.weather.gov/x", domain));
    EXPECT_EQ(domain, "weather.gov");
    EXPECT_TRUE(UrlUtils::getTopDomains("http://weather.gov", domain));
    EXPECT_EQ(domain, "weather.gov");
    EXPECT_TRUE(UrlUtils::getTopDomains("http://a.b.c.d:8080/", domain));
    EXPECT_EQ(domain, "c.d");
    domain = "untouched";
    EXPECT_FALSE(UrlUtils::getTopDomains("http://localhost/", domain));
    EXPECT_FALSE(UrlUtils::getTopDomains("ab", domain));
    EXPECT_EQ(domain, "untouched");
}

TEST(UrlUtils, HeaderHelpers) {
    UrlUtils urls;
    std::string redirect = "untouched";
    EXPECT_FALSE(urls.getHeaderRedirect("http://a.b/c", "HTTP/1.0 200 OK\r\nContent-Location: /other\r\n", redirect));
    EXPECT_EQ(redirect, "untouched");
    EXPECT_TRUE(urls.getHeaderRedirect("http://a.b/dir/c", "HTTP/1.0 302 Found\r\nlocation:  new.html \r\n", redirect));
    EXPECT_EQ(redirect, "http://a.b/dir/new.html");
    EXPECT_TRUE(urls.getHeaderRedirect("http://a.b/c", "HTTP/1.0 301 Moved\nLocation: http://x.y/z", redirect));
    EXPECT_EQ(redirect, "http://x.y/z");

    int status = 0;
    EXPECT_TRUE(urls.getHeaderStatus("HTTP/1.1 404 Not Found\r\n", status));
    EXPECT_EQ(status, 404);
    EXPECT_FALSE(urls.getHeaderStatus("garbage", status));
    EXPECT_EQ(status, 404);
}

namespace {

class UrlFetchTest : public ::testing::Test {
protected:
    FastHttp fast_;
    FixtureServer server_;
    UrlUtils urls_;
    std::string redirect_ = "unset";
    std::string header_;
    std::string body_;

    bool fetch(const std::string& url, bool follow = true) {
        return urls_.accessUrlWithPlimLib(url, redirect_, header_, body_, 5, follow, "127.0.0.1", server_.port());
    }
};

}  // namespace

TEST_F(UrlFetchTest, PageFetchThroughTheProxyFollowsOneRedirect) {
    server_.mapHost("www.example.com", "http");
    ASSERT_TRUE(fetch("http://www.example.com/dir/page.html?x=1"));
    EXPECT_EQ(body_, "<html><body>Page for x=1</body></html>\n");
    EXPECT_EQ(redirect_, "");
    EXPECT_EQ(server_.lastRequest().target, "http://www.example.com/dir/page.html?x=1");

    server_.route("www.example.com", "/old", FixtureReply::redirect("/dir/hop.html"));
    server_.route("www.example.com", "/dir/hop.html", FixtureReply::redirect("page.html"));
    server_.clearRequests();
    ASSERT_TRUE(fetch("http://www.example.com/old"));
    EXPECT_EQ(redirect_, "http://www.example.com/dir/hop.html");
    EXPECT_TRUE(header_.starts_with("HTTP/1.0 302"));
    // The second reply is handed back as it is: its own Location is not followed.
    EXPECT_NE(header_.find("Location: page.html"), std::string::npos);
    EXPECT_EQ(body_, "<html><body>Moved</body></html>");
    ASSERT_EQ(server_.requestCount(), 2u);

    ASSERT_TRUE(fetch("http://www.example.com/old", false));
    EXPECT_EQ(redirect_, "");
    EXPECT_EQ(body_, "<html><body>Moved</body></html>");

    // A 200 reply naming its Content-Location keeps its body.
    server_.route("www.example.com", "/same", FixtureReply::page("the page").header("Content-Location", "/x"));
    ASSERT_TRUE(fetch("http://www.example.com/same"));
    EXPECT_EQ(body_, "the page");
    EXPECT_EQ(redirect_, "");
}

TEST_F(UrlFetchTest, FailedFetches) {
    server_.route("www.example.com", "/gone", FixtureReply::redirect("https://www.example.com/secure"));
    header_ = "kept";
    EXPECT_FALSE(fetch("https://www.example.com/"));
    EXPECT_FALSE(fetch(""));
    EXPECT_FALSE(fetch("http://www.example.com:99999/"));
    EXPECT_EQ(header_, "kept");
    EXPECT_EQ(server_.requestCount(), 0u);

    // The redirect target cannot be fetched: the first header stays, the body is empty.
    EXPECT_FALSE(fetch("http://www.example.com/gone"));
    EXPECT_EQ(redirect_, "https://www.example.com/secure");
    EXPECT_NE(header_.find("Location: https://www.example.com/secure"), std::string::npos);
    EXPECT_EQ(body_, "");

    RefusedPort refused;
    EXPECT_FALSE(urls_.accessUrlWithPlimLib("http://www.example.com/", redirect_, header_, body_, 5, true,
                                            "127.0.0.1", refused.port()));
}

TEST_F(UrlFetchTest, BinaryFetchUsesTheUrlPortAndFailsOnErrors) {
    server_.route("127.0.0.1", "/radar.gif", FixtureReply::page("GIF89a-bytes", 200, "image/gif"));
    server_.route("127.0.0.1", "/missing.gif", FixtureReply::page("<html>not here</html>", 404));
    server_.route("127.0.0.1", "/moved.gif", FixtureReply::redirect(server_.url("/radar.gif")));
    // The capacity holds header and body together.
    char data[256] = {};
    int length = sizeof data;
    std::string redirect = "unset";
    ASSERT_TRUE(urls_.accessUrlWithPlimLibBinary(server_.url("/radar.gif"), redirect, data, length, 5, true));
    EXPECT_EQ(std::string(data, static_cast<size_t>(length)), "GIF89a-bytes");
    EXPECT_EQ(redirect, "");
    EXPECT_EQ(server_.lastRequest().header("Host"), server_.address());
    EXPECT_FALSE(server_.lastRequest().proxyForm);

    length = sizeof data;
    ASSERT_TRUE(urls_.accessUrlWithPlimLibBinary(server_.url("/moved.gif"), redirect, data, length, 5, true));
    EXPECT_EQ(redirect, server_.url("/radar.gif"));
    EXPECT_EQ(length, 12);

    length = sizeof data;
    EXPECT_FALSE(urls_.accessUrlWithPlimLibBinary(server_.url("/missing.gif"), redirect, data, length, 5, true));
    EXPECT_EQ(length, static_cast<int>(sizeof data));
    // The page fetch of the same URL succeeds with the error page.
    EXPECT_TRUE(urls_.accessUrlWithPlimLib(server_.url("/missing.gif"), redirect, header_, body_, 5, true, "", 0));
    EXPECT_EQ(body_, "<html>not here</html>");
}

TEST_F(UrlFetchTest, RedirectProbe) {
    server_.route("127.0.0.1", "/short", FixtureReply::redirect("/long/target.html", 301));
    server_.route("127.0.0.1", "/plain", FixtureReply::page("x"));
    std::string redirect;
    ASSERT_TRUE(urls_.isRedirectUrlWithPlimLib(server_.url("/short"), redirect));
    EXPECT_EQ(redirect, server_.url("/long/target.html"));
    EXPECT_EQ(server_.lastRequest().method, "HEAD");
    redirect = "unchanged";
    ASSERT_TRUE(urls_.isRedirectUrlWithPlimLib(server_.url("/plain"), redirect));
    EXPECT_EQ(redirect, "unchanged");
    EXPECT_FALSE(urls_.isRedirectUrlWithPlimLib("ftp://a.b/", redirect));

    RefusedPort refused;
    CaptureStderr err;
    EXPECT_FALSE(urls_.isRedirectUrlWithPlimLib("http://127.0.0.1:" + std::to_string(refused.port()) + "/", redirect));
    EXPECT_NE(err.text().find("Redir failed!\n"), std::string::npos);
}
