// The loopback fixture server itself, driven by a bare socket client so that
// its behaviour does not depend on the HTTP client it is used to test.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/FixtureServer.h"

namespace {

struct Exchange {
    std::string reply;
    int error = 0;  // errno of the receive that ended the exchange, 0 on a clean close
    bool timedOut = false;
};

int connectTo(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

// Sends request and reads until the server closes, at most limit bytes, or
// until it is silent for waitMs.
Exchange exchange(int port, const std::string& request, size_t limit = 1 << 20, int waitMs = 2000) {
    Exchange result;
    int fd = connectTo(port);
    EXPECT_GE(fd, 0);
    if (fd < 0) return result;
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    char buffer[8192];
    while (result.reply.size() < limit) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, waitMs) == 0) {
            result.timedOut = true;
            break;
        }
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0) result.error = errno;
        if (got <= 0) break;
        result.reply.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return result;
}

std::string body(const std::string& reply) {
    size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

}  // namespace

TEST(FixtureServer, ServesFilesByHostAndPathAsOriginAndProxy) {
    FixtureServer server;
    server.mapHost("www.example.com", "http");

    Exchange proxied = exchange(server.port(), "GET http://www.example.com/dir/page.html HTTP/1.0\r\n"
                                               "Host: www.example.com\r\n\r\n");
    EXPECT_TRUE(proxied.reply.starts_with("HTTP/1.0 200 OK\r\n")) << proxied.reply;
    EXPECT_EQ(body(proxied.reply), "<html><body>Page in dir</body></html>\n");

    // The exact query has its own file; another query falls back to the bare path.
    EXPECT_EQ(body(exchange(server.port(), "GET http://www.example.com/dir/page.html?x=1 HTTP/1.0\r\n\r\n").reply),
              "<html><body>Page for x=1</body></html>\n");
    EXPECT_EQ(body(exchange(server.port(), "GET http://www.example.com/dir/page.html?x=2 HTTP/1.0\r\n\r\n").reply),
              "<html><body>Page in dir</body></html>\n");

    // Origin form takes the host from the Host header, without its port.
    Exchange origin = exchange(server.port(), "GET / HTTP/1.0\r\nHost: WWW.example.com:8080\r\n\r\n");
    EXPECT_EQ(body(origin.reply), "<html><body>Home page</body></html>\n");

    EXPECT_TRUE(exchange(server.port(), "GET http://www.example.com/missing.html HTTP/1.0\r\n\r\n")
                    .reply.starts_with("HTTP/1.0 404 Not Found\r\n"));
    EXPECT_TRUE(exchange(server.port(), "GET http://www.example.com/../http/index.html HTTP/1.0\r\n\r\n")
                    .reply.starts_with("HTTP/1.0 404"));

    ASSERT_EQ(server.requestCount(), 6u);
    FixtureRequest first = server.requests().front();
    EXPECT_TRUE(first.proxyForm);
    EXPECT_EQ(first.method, "GET");
    EXPECT_EQ(first.host, "www.example.com");
    EXPECT_EQ(first.path, "/dir/page.html");
    EXPECT_EQ(first.raw, "GET http://www.example.com/dir/page.html HTTP/1.0\r\nHost: www.example.com\r\n\r\n");
    FixtureRequest fourth = server.requests()[3];
    EXPECT_FALSE(fourth.proxyForm);
    EXPECT_EQ(fourth.host, "www.example.com");
    EXPECT_EQ(fourth.header("HOST"), "WWW.example.com:8080");
}

TEST(FixtureServer, ScriptedRoutesWinOverFilesAndCanRunOut) {
    FixtureServer server;
    server.mapHost("a.test", "http");
    server.route("a.test", "/", FixtureReply::page("first", 500).onlyTimes(1));
    server.route("*", "/moved", FixtureReply::redirect("http://b.test/new"));
    server.route("a.test", "/q?id=7", FixtureReply::rawBytes("raw bytes, no header"));

    Exchange once = exchange(server.port(), "GET http://a.test/ HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(once.reply.starts_with("HTTP/1.0 500 Internal Server Error\r\n"));
    EXPECT_NE(once.reply.find("Content-Length: 5\r\n"), std::string::npos);
    EXPECT_EQ(body(once.reply), "first");
    EXPECT_EQ(body(exchange(server.port(), "GET http://a.test/ HTTP/1.0\r\n\r\n").reply),
              "<html><body>Home page</body></html>\n");

    Exchange moved = exchange(server.port(), "GET /moved HTTP/1.0\r\nHost: c.test\r\n\r\n");
    EXPECT_TRUE(moved.reply.starts_with("HTTP/1.0 302 Found\r\n"));
    EXPECT_NE(moved.reply.find("\r\nLocation: http://b.test/new\r\n"), std::string::npos);

    EXPECT_EQ(exchange(server.port(), "GET http://a.test/q?id=7 HTTP/1.0\r\n\r\n").reply, "raw bytes, no header");
    EXPECT_TRUE(exchange(server.port(), "GET http://a.test/q?id=8 HTTP/1.0\r\n\r\n").reply.starts_with("HTTP/1.0 404"));

    // Any host and any path, as a captive portal answers: it wins over what came before.
    server.route("*", "*", FixtureReply::page("portal"));
    for (const char* request : {"GET http://a.test/q?id=7 HTTP/1.0\r\n\r\n", "GET http://b.test/ HTTP/1.0\r\n\r\n",
                                "GET /x/y.php?z=1 HTTP/1.0\r\nHost: c.test\r\n\r\n"})
        EXPECT_EQ(body(exchange(server.port(), request).reply), "portal") << request;
}

TEST(FixtureServer, Misbehaves) {
    FixtureServer server;
    server.route("*", "/close", FixtureReply::closeEarly());
    server.route("*", "/reset", FixtureReply::reset());
    server.route("*", "/stall", FixtureReply::stall());
    server.route("*", "/flood", FixtureReply::flood());
    server.route("*", "/partial", FixtureReply::page(std::string(1000, 'p')).partial(100, FixtureReply::Action::Reset));
    server.route("*", "/big", FixtureReply::page(std::string(2 << 20, 'b')));

    Exchange closed = exchange(server.port(), "GET http://h/close HTTP/1.0\r\n\r\n");
    EXPECT_EQ(closed.reply, "");
    EXPECT_EQ(closed.error, 0);
    EXPECT_EQ(exchange(server.port(), "GET http://h/reset HTTP/1.0\r\n\r\n").error, ECONNRESET);
    Exchange stalled = exchange(server.port(), "GET http://h/stall HTTP/1.0\r\n\r\n", 1 << 20, 50);
    EXPECT_TRUE(stalled.timedOut);
    EXPECT_EQ(stalled.reply, "");
    Exchange flooded = exchange(server.port(), "GET http://h/flood HTTP/1.0\r\n\r\n", 3 << 20);
    EXPECT_GE(flooded.reply.size(), 3u << 20);
    EXPECT_FALSE(flooded.timedOut);
    Exchange partial = exchange(server.port(), "GET http://h/partial HTTP/1.0\r\n\r\n");
    EXPECT_EQ(partial.reply.size(), 100u);
    EXPECT_EQ(partial.error, ECONNRESET);
    EXPECT_EQ(body(exchange(server.port(), "GET http://h/big HTTP/1.0\r\n\r\n", 4 << 20).reply).size(), 2u << 20);
    EXPECT_EQ(server.requestCount(), 6u);
    // Stopping ends connections that are still stalled.
    int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    std::string request = "GET http://h/stall HTTP/1.0\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    EXPECT_TRUE(server.waitForRequests(7));
    server.stop();
    ::close(fd);
}

TEST(FixtureServer, DeadPorts) {
    RefusedPort refused;
    EXPECT_EQ(connectTo(refused.port()), -1);
    EXPECT_EQ(errno, ECONNREFUSED);

    UnansweredPort unanswered;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(unanswered.port()));
    int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(errno, EINPROGRESS);
    pollfd p{fd, POLLOUT, 0};
    EXPECT_EQ(::poll(&p, 1, 100), 0);
    ::close(fd);
}
