#include "app/plimServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "app/plimServerFeed.h"
#include "support/CaptureStream.h"

namespace {

const std::string kHeaders = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nServer: ZVA/2.0Preview\r\n\r\n";

// Polls for up to five seconds until done() holds.
template <typename Done>
void waitFor(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The port once the server listens, or 0.
int listeningPort(plimServer& server) {
    waitFor([&] { return server.listeningPort() != 0; });
    return server.listeningPort();
}

int startListening(plimServer& server) {
    server.start();
    return listeningPort(server);
}

// A connected client socket with a five-second receive time-out, or -1.
int connectTo(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until the server closes; "<timed out>" or "<error N>" on failure.
std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got == 0) return text;
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN ? "<timed out>" : "<error " + std::to_string(errno) + ">";
        }
        text.append(buffer, static_cast<size_t>(got));
    }
}

// One whole exchange: connect, send the request (if any), read the answer.
std::string fetch(int port, const std::string& request = "GET / HTTP/1.0\r\n\r\n") {
    int fd = connectTo(port);
    if (fd < 0) return "<refused>";
    if (!request.empty()) ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string text = readAll(fd);
    ::close(fd);
    return text;
}

// The whole answer around the given city elements.
std::string document(const std::string& cities = "") { return kHeaders + "<skyv>\n" + cities + "</skyv>\n"; }

TEST(plimServer, SendsTheWholeDocumentWhetherOrNotTheClientAsksUntilJoined) {
    plimServer server(0);
    int port = startListening(server);
    ASSERT_NE(port, 0);
    EXPECT_EQ(fetch(port), document());
    EXPECT_EQ(fetch(port, ""), document());  // a client that sends nothing

    // A request far larger than the document is read and dropped, so the
    // close does not reset the connection before the document arrives.
    EXPECT_EQ(fetch(port, "GET / HTTP/1.0\r\nX-Pad: " + std::string(200000, 'p') + "\r\n\r\n"), document());

    // Joined, it stops listening; started again, it listens anew.
    server.join();
    EXPECT_EQ(server.listeningPort(), 0);
    EXPECT_EQ(fetch(port), "<refused>");
    port = startListening(server);
    ASSERT_NE(port, 0);
    EXPECT_EQ(fetch(port), document());
}

TEST(plimServer, ListsCitiesAndKeysInOrderEscapedWithTheServerKeys) {
    plimServer server(0);
    server.setHash("Boston", {{"temp", "12"}, {"wind", "5"}});
    server.setHash("Boston", {{"temp", "50"}, {"cond", "Rain"}, {"version", "9"}});  // replaces, does not merge
    server.setHash("Coeur d'Alene \"ID\"", {{"a<b", "5 < 6 & 7 > 3"}, {"bell", std::string("x\x07y\tz")}});
    server.enableAdvance();
    server.setHash("Austin", {{"temp", "81"}});

    std::map<std::string, std::string> table;
    ASSERT_TRUE(server.getHash("Boston", table));
    EXPECT_EQ(table, (std::map<std::string, std::string>{{"cond", "Rain"}, {"temp", "50"}, {"version", "2.0P"}}));
    EXPECT_FALSE(server.getHash("Chicago", table));
    EXPECT_EQ(table.size(), 3u);  // left as it was

    int port = startListening(server);
    ASSERT_NE(port, 0);
    EXPECT_EQ(fetch(port), document("<city name=\"Austin\">\n"
                                    "  <pair key=\"temp\">81</pair>\n"
                                    "  <pair key=\"version\">2.0P</pair>\n"
                                    "  <pair key=\"zva\">1</pair>\n"
                                    "</city>\n"
                                    "<city name=\"Boston\">\n"
                                    "  <pair key=\"cond\">Rain</pair>\n"
                                    "  <pair key=\"temp\">50</pair>\n"
                                    "  <pair key=\"version\">2.0P</pair>\n"
                                    "</city>\n"
                                    "<city name=\"Coeur d&apos;Alene &quot;ID&quot;\">\n"
                                    "  <pair key=\"a&lt;b\">5 &lt; 6 &amp; 7 &gt; 3</pair>\n"
                                    "  <pair key=\"bell\">x y\tz</pair>\n"
                                    "  <pair key=\"version\">2.0P</pair>\n"
                                    "</city>\n"));

    server.clearData();
    std::vector<std::string> cities{"x"};
    server.getCities(cities);
    EXPECT_TRUE(cities.empty());
    EXPECT_EQ(fetch(port), document());
}

TEST(plimServer, ServesManyClientsAtOnceAndQueuesTheRest) {
    plimServer server(0);
    server.setHash("Austin", {{"temp", "81"}});
    int port = startListening(server);
    ASSERT_NE(port, 0);
    const std::string expected = fetch(port);
    ASSERT_NE(expected.find("<city name=\"Austin\">"), std::string::npos);

    std::vector<std::string> answers(24);
    std::vector<std::thread> clients;
    for (size_t i = 0; i < answers.size(); ++i)
        clients.emplace_back([&, i] { answers[i] = fetch(port, i % 2 ? "" : "GET / HTTP/1.0\r\n\r\n"); });
    for (auto& client : clients) client.join();
    for (const auto& answer : answers) EXPECT_EQ(answer, expected);

    // Clients that read the document but keep their connections open hold
    // every session; one more is served once a session is free.
    std::vector<int> holders;
    for (int i = 0; i < plimServer::kSessionCount; ++i) {
        int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        char first;
        ASSERT_EQ(::recv(fd, &first, 1, 0), 1);
        holders.push_back(fd);
    }
    EXPECT_EQ(fetch(port, ""), expected);
    for (int fd : holders) {
        EXPECT_EQ(readAll(fd).size(), expected.size() - 1);
        ::close(fd);
    }
}

TEST(plimServer, DestructionStopsEveryThreadAndClosesEverySocket) {
    auto server = std::make_unique<plimServer>(0);
    int port = startListening(*server);
    ASSERT_NE(port, 0);
    std::vector<int> clients;
    for (int i = 0; i < plimServer::kSessionCount + 2; ++i) {
        int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        clients.push_back(fd);
    }
    std::string out, err;
    {
        CaptureStdout captureOut;
        CaptureStderr captureErr;
        server.reset();
        out = captureOut.text();
        err = captureErr.text();
    }
    EXPECT_EQ(out, "PlimServer destructor called!\n");
    EXPECT_EQ(err, "cleanup!\ncleanup!\ncleanup!\n");
    // Served or not, every connection has been closed: no read times out.
    for (int fd : clients) {
        EXPECT_NE(readAll(fd), "<timed out>");
        ::close(fd);
    }
    EXPECT_EQ(fetch(port), "<refused>");
}

TEST(plimServer, ReportsAPortItCannotBind) {
    plimServer first(0);
    const int taken = startListening(first);
    ASSERT_NE(taken, 0);
    plimServer server(taken);
    CaptureStderr capture;
    EXPECT_TRUE(server.start());
    server.join();
    EXPECT_EQ(capture.text(), "Bind failed with error=[" + std::to_string(EADDRINUSE) + "] sizeof=[16]\n");
    EXPECT_EQ(server.listeningPort(), 0);
}

TEST(plimServer, FeedsTheMenuControllersPrimaryCity) {
    std::unique_ptr<PlimFeedServer> feed = std::make_unique<plimServerFeed>(0);
    feed->setHash("Austin", {{"temp", "81"}});
    feed->clearData();
    feed->enableAdvance();
    feed->setHash("Boston", {{"temp", "50"}});
    ASSERT_TRUE(feed->startServer());
    int port = listeningPort(static_cast<plimServerFeed&>(*feed).server());
    ASSERT_NE(port, 0);
    EXPECT_EQ(fetch(port), document("<city name=\"Boston\">\n"
                                    "  <pair key=\"temp\">50</pair>\n"
                                    "  <pair key=\"version\">2.0P</pair>\n"
                                    "  <pair key=\"zva\">1</pair>\n"
                                    "</city>\n"));
    feed.reset();  // stops and joins every thread of the server
    EXPECT_EQ(fetch(port), "<refused>");
}

// Counts the documents the sessions have started to build.
struct CountingServer : plimServer {
    CountingServer() : plimServer(0) {}
    void getCities(std::vector<std::string>& cities) override {
        plimServer::getCities(cities);
        ++documents;
    }
    std::atomic<int> documents{0};
};

TEST(plimServer, AClientThatHungUpDoesNotEndTheProgram) {
    // The test program ignores SIGPIPE; the server must not rely on that.
    auto previous = std::signal(SIGPIPE, SIG_DFL);
    std::string err;
    {
        auto server = std::make_unique<CountingServer>();
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        ::close(pair[1]);
        CaptureStderr capture;
        server->pushRequest(pair[0]);
        waitFor([&] { return server->documents != 0; });
        EXPECT_EQ(server->documents, 1);
        server.reset();  // waits for the session that is sending
        err = capture.text();
    }
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(err.find("plimSession: failed to send screen saver xml!\n"), 0u) << err;
}

}  // namespace
