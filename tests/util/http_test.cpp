// The HTTP/1.0 client against the loopback fixture server.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/CaptureStream.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "util/StopFlag.h"
#include "util/http.h"

namespace {

using Action = FixtureReply::Action;

const std::string kPageAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n";
const std::string kBinaryAgent = "User-Agent: Morsello/0.1 (compatible; MSIE 6.0; Windows NT 5.1)\r\n";

class HttpTest : public ::testing::Test {
protected:
    FastHttp fast_;
    FixtureServer server_;
    http client_{5, 1, 2};

    int get(const std::string& path, std::string& header, std::string& body) {
        return client_.get("127.0.0.1", path, server_.port(), "", 0, header, body);
    }
};

}  // namespace

TEST_F(HttpTest, DirectAndProxyRequestsAreSentAsWritten) {
    server_.route("*", "/p", FixtureReply::page("line one\r\n\r\nafter an empty line\r\n\r\n"));
    std::string header = "old";
    std::string body = "old";
    ASSERT_EQ(get("/p?a=1", header, body), HttpResult::Ok);
    EXPECT_EQ(server_.lastRequest().raw, "GET /p?a=1 HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server_.port()) +
                                             "\r\nAccept: */*\r\n" + kPageAgent + "\r\n");
    EXPECT_EQ(header, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 35");
    EXPECT_EQ(body, "line one\r\n\r\nafter an empty line\r\n\r\n");

    // Through a proxy the request names the origin absolutely; port 80 is not written.
    server_.mapHost("www.example.com", "http");
    ASSERT_EQ(client_.get("www.example.com", "/dir/page.html", 80, "127.0.0.1", server_.port(), header, body),
              HttpResult::Ok);
    EXPECT_EQ(server_.lastRequest().raw, "GET http://www.example.com/dir/page.html HTTP/1.0\r\nHost: www.example.com\r\n"
                                         "Accept: */*\r\n" + kPageAgent + "\r\n");
    EXPECT_EQ(body, "<html><body>Page in dir</body></html>\n");
    ASSERT_EQ(client_.get("origin.test", "/x", 8080, "127.0.0.1", server_.port(), header, body), HttpResult::Ok);
    EXPECT_EQ(server_.lastRequest().target, "http://origin.test:8080/x");
    EXPECT_EQ(server_.lastRequest().header("Host"), "origin.test:8080");
    EXPECT_EQ(server_.requestCount(), 3u);
}

TEST_F(HttpTest, RefusedPortFailsFastAfterTheRetries) {
    RefusedPort refused;
    std::string header = "kept";
    std::string body = "kept too";
    CaptureStdout out;
    EXPECT_EQ(client_.get("127.0.0.1", "/p", refused.port(), "", 0, header, body), HttpResult::NoConnect);
    std::string log = out.text();
    EXPECT_NE(log.find("Connection Failure!\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Retrying http request [127.0.0.1/p] rl=[0] waiting [2] secs\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Retrying http request [127.0.0.1/p] rl=[-1] waiting [2] secs\n"), std::string::npos) << log;
    EXPECT_EQ(header, "kept");
    EXPECT_EQ(body, "kept too");

    // A dead proxy fails the same way.
    EXPECT_EQ(client_.get("www.example.com", "/", 80, "127.0.0.1", refused.port(), header, body), HttpResult::NoConnect);
    EXPECT_EQ(client_.get("", "/", 80, "", 0, header, body), HttpResult::NoHost);
}

TEST_F(HttpTest, ConnectAndReadTimeOuts) {
    UnansweredPort unanswered;
    http once(5, 0, 2);
    std::string header;
    std::string body;
    {
        CaptureStdout out;
        EXPECT_EQ(once.get("127.0.0.1", "/", unanswered.port(), "", 0, header, body), HttpResult::NoConnect);
        EXPECT_NE(out.text().find("Connect Timed Out!\n"), std::string::npos);
    }

    server_.route("*", "/stall", FixtureReply::stall());
    server_.route("*", "/half", FixtureReply::page("0123456789").partial(40, Action::Stall));
    header = "kept";
    EXPECT_EQ(once.get("127.0.0.1", "/stall", server_.port(), "", 0, header, body), HttpResult::ReceiveFailed);
    EXPECT_EQ(once.get("127.0.0.1", "/half", server_.port(), "", 0, header, body), HttpResult::ReceiveFailed);
    EXPECT_EQ(header, "kept");
}

TEST_F(HttpTest, RetriesAfterAFailedAttempt) {
    server_.route("*", "/flaky", FixtureReply::page("second time lucky"));
    server_.route("*", "/flaky", FixtureReply::stall().onlyTimes(1));
    std::string header;
    std::string body;
    CaptureStdout out;
    EXPECT_EQ(get("/flaky", header, body), HttpResult::Ok);
    EXPECT_EQ(body, "second time lucky");
    EXPECT_EQ(server_.requestCount(), 2u);
    std::string log = out.text();
    EXPECT_NE(log.find("rl=[0]"), std::string::npos);
    EXPECT_EQ(log.find("rl=[-1]"), std::string::npos);
}

TEST_F(HttpTest, ResetAndEarlyCloseEndARepliesWithoutALength) {
    // Without a Content-Length the reply is whatever came before the close or the reset.
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    server_.route("*", "/closed-after", FixtureReply::rawBytes(head + "whole page"));
    server_.route("*", "/reset-after", FixtureReply::rawBytes(head + "0123456789").partial(50, Action::Reset));
    server_.route("*", "/closed", FixtureReply::closeEarly());
    server_.route("*", "/noheader", FixtureReply::rawBytes("just text"));
    std::string header;
    std::string body;
    ASSERT_EQ(get("/closed-after", header, body), HttpResult::Ok);
    EXPECT_EQ(header, "HTTP/1.0 200 OK\r\nContent-Type: text/html");
    EXPECT_EQ(body, "whole page");
    ASSERT_EQ(get("/reset-after", header, body), HttpResult::Ok);
    EXPECT_EQ(body, "012345");
    ASSERT_EQ(get("/closed", header, body), HttpResult::Ok);
    EXPECT_EQ(header, "");
    EXPECT_EQ(body, "");
    ASSERT_EQ(get("/noheader", header, body), HttpResult::Ok);
    EXPECT_EQ(header, "just text");
    EXPECT_EQ(body, "");
    EXPECT_EQ(server_.requestCount(), 4u);
}

TEST_F(HttpTest, RepliesShorterThanTheirLengthFailAndAreRetried) {
    const std::string page(1000, 'p');
    const size_t head = FixtureReply::page(page).wire().size() - page.size();
    // 60 % of the body, then a clean close; half of it, then a reset; a
    // header cut before its end, after its length was given.
    server_.route("*", "/closed", FixtureReply::page(page).partial(static_cast<long>(head + 600), Action::Close));
    server_.route("*", "/reset", FixtureReply::page(page).partial(static_cast<long>(head + 500), Action::Reset));
    server_.route("*", "/in-header", FixtureReply::page(page).partial(static_cast<long>(head - 3), Action::Close));
    for (const char* path : {"/closed", "/reset", "/in-header"}) {
        SCOPED_TRACE(path);
        server_.clearRequests();
        std::string header = "kept";
        std::string body = "kept too";
        CaptureStdout out;
        EXPECT_EQ(get(path, header, body), HttpResult::ReceiveFailed);
        EXPECT_EQ(server_.requestCount(), 2u);
        EXPECT_EQ(header, "kept");
        EXPECT_EQ(body, "kept too");
        const std::string log = out.text();
        EXPECT_NE(log.find("of [1000] body bytes, the reply was cut short\n"), std::string::npos) << log;
        EXPECT_NE(log.find("rl=[-1]"), std::string::npos) << log;
    }

    // A cut reply followed by a whole one: the retry gets the page.
    server_.route("*", "/flaky", FixtureReply::page(page));
    server_.route("*", "/flaky",
                  FixtureReply::page(page).partial(static_cast<long>(head + 600), Action::Close).onlyTimes(1));
    std::string header;
    std::string body;
    ASSERT_EQ(get("/flaky", header, body), HttpResult::Ok);
    EXPECT_EQ(body, page);

    // The length counts the bytes as sent (zero bytes too), its name in any
    // case; a longer body is kept whole.
    std::string nul = "before";
    nul += std::string(3, '\0');
    nul += "after";
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    server_.route("*", "/nul", FixtureReply::rawBytes(ok + "content-LENGTH:  14 \r\n\r\n" + nul));
    server_.route("*", "/longer", FixtureReply::rawBytes(ok + "Content-Length: 3\r\n\r\nmore than three"));
    ASSERT_EQ(get("/nul", header, body), HttpResult::Ok);
    EXPECT_EQ(body, "beforeafter");
    ASSERT_EQ(get("/longer", header, body), HttpResult::Ok);
    EXPECT_EQ(body, "more than three");

    // A HEAD reply declares the length of a body it does not send.
    server_.route("*", "/head", FixtureReply::rawBytes(ok + "Content-Length: 5000\r\n\r\n"));
    ASSERT_EQ(client_.head("127.0.0.1", "/head", header, server_.port()), HttpResult::Ok);
    EXPECT_EQ(header, ok + "Content-Length: 5000");

    // An image cut short fails the same way.
    server_.clearRequests();
    const std::string image(900, 'g');
    const size_t imageHead = FixtureReply::page(image, 200, "image/gif").wire().size() - image.size();
    server_.route("*", "/cut.gif", FixtureReply::page(image, 200, "image/gif")
                                       .partial(static_cast<long>(imageHead + 450), Action::Reset));
    std::vector<char> data(2000);
    int length = 0;
    CaptureStdout out;
    EXPECT_EQ(client_.getBinary("127.0.0.1", "/cut.gif", server_.port(), header, data.data(), 2000, length),
              HttpResult::ReceiveFailed);
    EXPECT_EQ(server_.requestCount(), 2u);
}

TEST_F(HttpTest, RepliesAreReadAsTheirChunksOrTheirOneLengthFrameThem) {
    // Replies framed as servers and proxies frame them, or broken, each with the result and the body read or the log.
    const std::string ok = "HTTP/1.1 200 OK\r\n", chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const std::string page = "<p>30&deg;F</p>";
    std::vector<std::tuple<std::string, int, std::string>> cases = {
        {chunked + "7;name=value\r\n<p>30&d\r\n0008\r\neg;F</p>\r\n0\r\nExpires: 0\r\n\r\n", 0, page},
        {ok + "transfer-encoding: gzip,CHUNKED\r\nContent-Length: 9\r\n\r\nF \r\n" + page + "\r\n0\r\n\r\n", 0, page},
        {ok + "Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\nf\r\n" + page + "\r\n0\r\n", 0, page},
        {ok + "Transfer-Encoding: chunked, gzip\r\n\r\nf\r\n" + page, 0, "f\r\n" + page},
        {ok + "Content-Length: 15, 015\r\ncontent-length: 15\r\n\r\n" + page, 0, page},
        {chunked + "f\r\n" + page + "\r\n", 4, "Got [20] body bytes, the reply ended before its last chunk"},
        {chunked + "0x0f\r\n" + page, 4, "Bad chunked body after [6] bytes: a chunk size line is not hex"},
        {chunked + "e\r\n" + page + "\r\n0\r\n\r\n", 4, "a chunk is not followed by CR LF"},
        {chunked + "f;" + std::string(5000, 'x') + "\r\n" + page + "\r\n0\r\n\r\n", 4, "a chunk size line is too long"},
        {chunked + "10000000000000000\r\n" + page + "\r\n0\r\n\r\n", 4, "a chunk size overflows"},
        {ok + "Content-Length: 15\r\nContent-Length: 16\r\n\r\n" + page, 4, "Bad Content-Length [15, 16]"},
    };
    for (std::string bad : {"12abc", "", "99999999999999999999999"})
        cases.emplace_back(ok + "Content-Length: " + bad + "\r\n\r\n" + page, 4, "Bad Content-Length [" + bad + "]");
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [reply, result, bodyOrLog] = cases[i];
        SCOPED_TRACE(reply.substr(0, 100));
        const std::string path = "/reply" + std::to_string(i);
        server_.route("*", path, FixtureReply::rawBytes(reply).inWrites(i == 0 ? 5 : -1));  // the first in pieces
        server_.clearRequests();
        std::string header = "kept", body = "kept";
        CaptureStdout out;
        EXPECT_EQ(get(path, header, body), result);
        const std::string log = out.text();
        EXPECT_EQ(header, result == 0 ? reply.substr(0, reply.find("\r\n\r\n")) : "kept");
        EXPECT_EQ(body, result == 0 ? bodyOrLog : "kept");
        if (result != 0) { EXPECT_NE(log.find(bodyOrLog), std::string::npos) << log; }
        char data[100];
        int length = 0;
        EXPECT_EQ(client_.getBinary("127.0.0.1", path, server_.port(), header, data, 100, length), result);
        if (result == 0) { EXPECT_EQ(std::string(data, static_cast<size_t>(length)), bodyOrLog); }
        EXPECT_EQ(server_.requestCount(), result == 0 ? 2u : 4u);  // a refused reply is asked for again
    }
}

TEST_F(HttpTest, TextRepliesCutAtTheLimitAreUsedAsFarAsRead) {
    // A reply of exactly the limit is whole; a longer one is cut just past
    // the limit and is a success with what was read, asked for once.
    const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
    const size_t limit = static_cast<size_t>(http::kMaxTextBytes);
    server_.route("*", "/limit", FixtureReply::rawBytes(head + std::string(limit - head.size(), 'a')));
    server_.route("*", "/over", FixtureReply::rawBytes(head + std::string(limit - head.size() + 1, 'a')));
    server_.route("*", "/big", FixtureReply::page(std::string(2 << 20, 'b')));
    server_.route("*", "/flood", FixtureReply::flood());
    // A 1.5 MB page whose weather is at its top.
    const std::string top = "<html><body><p>Des Moines, IA</p><p>Partly Cloudy</p><p>30&deg;F</p>";
    server_.route("*", "/weather", FixtureReply::page(top + std::string(1536 * 1024 - top.size(), ' ')));
    // The same page in chunks of 4096 bytes: the limit counts the decoded body.
    std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000\r\n" + top;
    for (size_t at = top.size(); at < 1536 * 1024; ++at) chunked += at % 4096 ? " " : "\r\n1000\r\n ";
    server_.route("*", "/chunked", FixtureReply::rawBytes(chunked + "\r\n0\r\n\r\n"));

    std::string header;
    std::string body;
    ASSERT_EQ(get("/limit", header, body), HttpResult::Ok);
    EXPECT_EQ(body.size(), limit - head.size());

    for (const char* path : {"/over", "/big", "/flood", "/weather", "/chunked"}) {
        SCOPED_TRACE(path);
        server_.clearRequests();
        header.clear();
        body.clear();
        CaptureStderr err;
        ASSERT_EQ(get(path, header, body), HttpResult::Ok);
        EXPECT_TRUE(header.starts_with("HTTP/1."));
        const size_t total = header.size() + 4 + body.size();
        EXPECT_GT(total, limit);
        EXPECT_LE(total, limit + http::kChunkBytes);
        EXPECT_EQ(server_.requestCount(), 1u);
        std::string log = err.text();
        EXPECT_TRUE(log.starts_with("Got [" + std::to_string(total) + " bytes")) << log;
        EXPECT_NE(log.find(" bytes, page seems too long, bailing out of http request!\n"), std::string::npos);
    }
    EXPECT_TRUE(body.starts_with(top));
    EXPECT_EQ(body.find_first_not_of(' ', top.size()), std::string::npos);
}

TEST_F(HttpTest, ZeroBytesDoNotCutTheText) {
    std::string reply = "HTTP/1.0 200 OK\r\n\r\nbefore";
    reply += std::string(3, '\0');
    reply += "after";
    server_.route("*", "/nul", FixtureReply::rawBytes(reply));
    std::string header;
    std::string body;
    ASSERT_EQ(get("/nul", header, body), HttpResult::Ok);
    EXPECT_EQ(body, "beforeafter");
}

TEST_F(HttpTest, RequestsWithLineBreaksAreNotSent) {
    std::string header;
    std::string body;
    CaptureStderr err;
    EXPECT_EQ(get("/p HTTP/1.0\r\nX-Evil: 1\r\n", header, body), HttpResult::SendFailed);
    EXPECT_EQ(client_.get("a\r\nb", "/", server_.port(), "127.0.0.1", server_.port(), header, body),
              HttpResult::SendFailed);
    EXPECT_FALSE(err.text().empty());
    EXPECT_EQ(server_.requestCount(), 0u);
}

TEST_F(HttpTest, BinaryRepliesMustFitTheCapacity) {
    // A 300-byte header: the status line, a padding header and the separator.
    auto withHeader300 = [](size_t bodyBytes) {
        std::string head = "HTTP/1.0 200 OK\r\nX-Pad: ";
        head += std::string(300 - head.size() - 4, 'p');
        head += "\r\n\r\n";
        std::string body(bodyBytes, '\0');
        for (size_t i = 0; i < bodyBytes; ++i) body[i] = static_cast<char>(i % 251);
        return std::make_pair(head, body);
    };
    auto [head, small] = withHeader300(600);
    ASSERT_EQ(head.size(), 300u);
    server_.route("*", "/small.gif", FixtureReply::rawBytes(head + small));
    server_.route("*", "/large.gif", FixtureReply::rawBytes(head + withHeader300(800).second));
    server_.route("*", "/empty.gif", FixtureReply::rawBytes("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"));
    server_.route("*", "/noheader.gif", FixtureReply::rawBytes("GIF89a"));
    server_.route("*", "/flood.gif", FixtureReply::flood());

    std::vector<char> data(1000, 'z');
    std::string header;
    int length = -1;
    ASSERT_EQ(client_.getBinary("127.0.0.1", "/small.gif", server_.port(), header, data.data(), 1000, length),
              HttpResult::Ok);
    EXPECT_EQ(length, 600);
    EXPECT_EQ(std::string(data.data(), 600), small);
    EXPECT_EQ(data[600], 'z');
    EXPECT_EQ(header, head);
    EXPECT_EQ(server_.lastRequest().raw, "GET /small.gif HTTP/1.0\r\nHost: 127.0.0.1:" +
                                             std::to_string(server_.port()) + "\r\nAccept: */*\r\n" + kBinaryAgent +
                                             "\r\n");
    {
        CaptureStdout out;
        EXPECT_EQ(client_.getBinary("127.0.0.1", "/large.gif", server_.port(), header, data.data(), 1000, length),
                  HttpResult::ReceiveFailed);
        EXPECT_NE(out.text().find("Data too big to fit in data ptr!\n"), std::string::npos);
    }
    EXPECT_EQ(client_.getBinary("127.0.0.1", "/empty.gif", server_.port(), header, data.data(), 1000, length),
              HttpResult::ReceiveFailed);
    EXPECT_EQ(client_.getBinary("127.0.0.1", "/noheader.gif", server_.port(), header, data.data(), 1000, length),
              HttpResult::ReceiveFailed);
    EXPECT_EQ(length, 6);
    // A sender without end is cut off and fails, with a small or a huge capacity.
    EXPECT_EQ(client_.getBinary("127.0.0.1", "/flood.gif", server_.port(), header, data.data(), 1000, length),
              HttpResult::ReceiveFailed);
    std::vector<char> huge(3 << 20);
    CaptureStderr err;
    EXPECT_EQ(client_.getBinary("127.0.0.1", "/flood.gif", server_.port(), header, huge.data(),
                                static_cast<int>(huge.size()), length),
              HttpResult::ReceiveFailed);
    EXPECT_GE(length, http::kMaxBinaryBytes);
    EXPECT_TRUE(err.text().starts_with("Got ["));
}

TEST_F(HttpTest, BinaryRetryGetsTheWholeCapacityAgain) {
    std::string reply = "HTTP/1.0 200 OK\r\n\r\n" + std::string(900, 'i');
    server_.route("*", "/img", FixtureReply::rawBytes(reply));
    server_.route("*", "/img", FixtureReply::rawBytes(reply).partial(500, Action::Stall).onlyTimes(1));
    std::vector<char> data(950);
    std::string header;
    int length = 0;
    ASSERT_EQ(client_.getBinary("127.0.0.1", "/img", server_.port(), header, data.data(), 950, length), HttpResult::Ok);
    EXPECT_EQ(length, 900);
    EXPECT_EQ(server_.requestCount(), 2u);

    RefusedPort refused;
    length = 0;
    EXPECT_EQ(client_.getBinary("127.0.0.1", "/img", refused.port(), header, data.data(), 950, length),
              HttpResult::NoConnect);
    EXPECT_EQ(length, 950);
}

TEST_F(HttpTest, HeadReturnsTheHeaderOnly) {
    server_.route("*", "/moved", FixtureReply::redirect("http://elsewhere.test/"));
    std::string header = "old";
    ASSERT_EQ(client_.head("127.0.0.1", "/moved", header, server_.port()), HttpResult::Ok);
    EXPECT_TRUE(header.starts_with("HTTP/1.0 302 Found\r\n"));
    EXPECT_EQ(header.find("Moved"), std::string::npos);
    EXPECT_TRUE(server_.lastRequest().raw.starts_with("HEAD /moved HTTP/1.0\r\n"));
    EXPECT_NE(server_.lastRequest().raw.find(kBinaryAgent), std::string::npos);
}

TEST_F(HttpTest, AStopEndsARequestAtOnceWithoutARetry) {
    // The program's own time-outs: a silent server would hold this request 14 s.
    FastHttp realTiming(5000, 3000, 2000);
    server_.route("*", "/stall", FixtureReply::stall());
    auto flag = std::make_shared<StopFlag>();
    http client(5, 1, 2);
    client.setStopFlag(flag);
    std::thread stopper([&] {
        server_.waitForRequests(1);
        flag->stop();
    });
    std::string header = "kept";
    std::string body = "kept too";
    CaptureStdout out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.get("127.0.0.1", "/stall", server_.port(), "", 0, header, body), HttpResult::Stopped);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(out.text().find("Retrying"), std::string::npos) << out.text();
    EXPECT_EQ(header, "kept");
    EXPECT_EQ(body, "kept too");
    // Once set, the flag ends every later request before it connects.
    char data[100];
    int length = 0;
    EXPECT_EQ(client.getBinary("127.0.0.1", "/stall", server_.port(), header, data, 100, length), HttpResult::Stopped);
    EXPECT_EQ(client.head("127.0.0.1", "/stall", header, server_.port()), HttpResult::Stopped);
    EXPECT_EQ(server_.requestCount(), 1u);

    // The pause between attempts ends too.
    RefusedPort refused;
    auto pauseFlag = std::make_shared<StopFlag>();
    http retrying(5, 3, 2);
    retrying.setStopFlag(pauseFlag);
    std::thread pauseStopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pauseFlag->stop();
    });
    const auto pauseStart = std::chrono::steady_clock::now();
    EXPECT_EQ(retrying.get("127.0.0.1", "/p", refused.port(), "", 0, header, body), HttpResult::Stopped);
    pauseStopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - pauseStart, std::chrono::seconds(2));
}

TEST_F(HttpTest, ATricklingServerCannotHoldARequestPastItsDeadline) {
    // The deadline is the time-out and the pause once per attempt.
    {
        FastHttp realTiming(-1, 3000, -1);
        EXPECT_EQ(http(5, 1, 2).deadlineMs(), 14000);
        EXPECT_EQ(http(10, 0, 2).deadlineMs(), 12000);
    }
    FastHttp timing(300, 200, 100);
    http client(5, 1, 2);
    EXPECT_EQ(client.deadlineMs(), 800);
    // A byte every 50 ms never lets a 300 ms chunk time-out expire.
    server_.route("*", "/drip", FixtureReply::trickle(50));
    std::string header = "kept";
    std::string body;
    CaptureStdout out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.get("127.0.0.1", "/drip", server_.port(), "", 0, header, body), HttpResult::ReceiveFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(header, "kept");
    // The first attempt used the whole deadline: there is no second.
    EXPECT_EQ(server_.requestCount(), 1u);
}

TEST_F(HttpTest, BinaryFetchesThroughAProxy) {
    server_.route("img.example.com", "/radar.gif", FixtureReply::page(std::string(600, 'g'), 200, "image/gif"));
    char data[1000];
    int length = 0;
    std::string header;
    ASSERT_EQ(client_.getBinary("img.example.com", "/radar.gif", 80, header, data, 1000, length, "127.0.0.1",
                                server_.port()),
              HttpResult::Ok);
    EXPECT_EQ(length, 600);
    EXPECT_EQ(server_.lastRequest().raw, "GET http://img.example.com/radar.gif HTTP/1.0\r\nHost: img.example.com\r\n"
                                         "Accept: */*\r\n" + kBinaryAgent + "\r\n");
}

TEST(HttpParsing, IsRedirect) {
    std::string location = "untouched";
    EXPECT_FALSE(http::isRedirect("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n", location));
    EXPECT_EQ(location, "untouched");
    EXPECT_TRUE(http::isRedirect("HTTP/1.0 302 Found\r\nLocation: http://a/b\r\nX: y", location));
    EXPECT_EQ(location, "http://a/b");
    EXPECT_TRUE(http::isRedirect("HTTP/1.0 200 OK\nContent-Location: x\n", location));
    EXPECT_EQ(location, "x");
    EXPECT_FALSE(http::isRedirect("HTTP/1.0 302 Found\r\nlocation: http://a/b\r\n", location));
}

TEST(HttpParsing, HeaderAndData) {
    http client(5, 1, 2);
    std::string header = "H:";
    std::string body = "B:";
    std::string response = "HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody\r\n\r\nmore";
    client.getHeaderAndData(response, header, body);
    EXPECT_EQ(header, "H:HTTP/1.0 200 OK\r\nA: b");
    EXPECT_EQ(body, "B:body\r\n\r\nmore");

    std::string none;
    client.getHeaderAndData(none, header, body);
    EXPECT_EQ(header, "H:HTTP/1.0 200 OK\r\nA: b");
    std::string headerOnly = "HTTP/1.0 200 OK";
    header.clear();
    body.clear();
    client.getHeaderAndData(headerOnly, header, body);
    EXPECT_EQ(header, "HTTP/1.0 200 OK");
    EXPECT_EQ(body, "");
}
