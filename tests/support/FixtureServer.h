#pragma once
// A small HTTP server on 127.0.0.1 for tests. It answers as an origin server
// ("GET /path") and as an HTTP proxy ("GET http://host/path"), serves fixture
// files by host and path, can be scripted to misbehave, and records every raw
// request it reads.
//
//   FixtureServer server;                        // ephemeral port, tests/fixtures
//   server.mapHost("forecast.weather.gov", "nws");
//   server.route("www.example.com", "/moved", FixtureReply::redirect("http://www.example.com/new"));
//   server.route("*", "/slow", FixtureReply::stall());
//   server.route("*", "/drip", FixtureReply::trickle(100));
//   ... fetch through proxy 127.0.0.1:server.port() ...
//   EXPECT_EQ(server.lastRequest().target, "http://www.example.com/moved");
//
// Files: a request for host H and path /a/b.html?x=1 is answered from
// <root>/<dir of H>/a/b.html?x=1 when that file exists, else from
// <root>/<dir of H>/a/b.html; a path ending in "/" reads "index.html". The
// folder of a host is its name unless mapHost() says otherwise. Scripted
// routes win over files; unknown pages get a 404.

#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// What the server does with one request.
struct FixtureReply {
    enum class Action {
        Reply,  // send the reply (or its first sendBytes bytes), then do `then`
        Close,  // close the connection without a byte
        Reset,  // reset the connection (RST) without a byte
        Stall,  // keep the connection open and silent until the client leaves
        Flood,  // send a header and then bytes without end until the client leaves
        Trickle,  // send a header and then one byte every trickleMs until the client leaves
    };

    Action action = Action::Reply;
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool useRaw = false;  // send `raw` byte for byte instead of status, headers and body
    std::string raw;
    long sendBytes = -1;          // only this many bytes of the reply are sent (-1: all)
    Action then = Action::Close;  // after the bytes: Close, Reset or Stall
    int delayMs = 0;              // pause before the first byte
    int times = -1;               // a route answers this many requests, then falls away (-1: always)
    int trickleMs = 1000;         // the pause before each byte of a Trickle
    long writeBytes = -1;         // a Reply goes out in writes of this many bytes, apart in time (-1: one write)

    static FixtureReply page(std::string body, int status = 200, std::string contentType = "text/html");
    static FixtureReply redirect(const std::string& location, int status = 302);
    static FixtureReply rawBytes(std::string bytes);
    static FixtureReply closeEarly();
    static FixtureReply reset();
    static FixtureReply stall();
    static FixtureReply flood();
    // A server that never stops sending, but slowly: a header, then a byte every everyMs.
    static FixtureReply trickle(int everyMs);
    static FixtureReply acting(Action action);

    FixtureReply& header(const std::string& name, const std::string& value);
    // Send only the first `bytes` bytes of the reply, then close, reset or stall.
    FixtureReply& partial(long bytes, Action after);
    FixtureReply& delay(int ms);
    FixtureReply& inWrites(long bytes) { writeBytes = bytes; return *this; }
    FixtureReply& onlyTimes(int count);

    // The bytes a Reply action sends in full.
    std::string wire() const;
};

// One request as the server read it.
struct FixtureRequest {
    std::string raw;     // every byte up to and including the empty line
    std::string method;  // "GET", "HEAD", ...
    std::string target;  // as on the request line: "/p?q" or "http://host/p?q"
    std::string version; // "HTTP/1.0"
    bool proxyForm = false;
    std::string host;  // from the absolute target, else the Host header; without a port
    std::string path;  // "/p?q"
    std::map<std::string, std::string> headers;  // names in lower case

    std::string header(const std::string& name) const;
};

class FixtureServer {
public:
    // Listens on 127.0.0.1 at a port the system picks; serves files from root.
    explicit FixtureServer(std::string root = SKYVANE_FIXTURES_DIR);
    ~FixtureServer();
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:<port>", for URLs that reach the server directly.
    std::string address() const;
    // "http://127.0.0.1:<port>" + path.
    std::string url(const std::string& path) const;

    // Files for host are read from <root>/<folder>.
    void mapHost(const std::string& host, const std::string& folder);
    // Answers requests for host ("*": any host) and path ("*": any path). A
    // path with "?" must match whole; one without matches any query.
    void route(const std::string& host, const std::string& path, FixtureReply reply);
    // Answers a host and path with a file under the root.
    void routeFile(const std::string& host, const std::string& path, const std::string& file,
                   int status = 200);
    void clearRoutes();

    std::vector<FixtureRequest> requests() const;
    FixtureRequest lastRequest() const;  // empty when none came
    size_t requestCount() const;
    // Waits (up to timeoutMs) until at least count requests have been read.
    bool waitForRequests(size_t count, int timeoutMs = 5000) const;
    // Waits (up to timeoutMs) until clients have hung up at least count
    // stalled connections (a client that gives up or is stopped).
    bool waitForStallsLeft(size_t count, int timeoutMs = 5000) const;
    void clearRequests();

    // Stops accepting and ends every open connection; the destructor calls it.
    void stop();

private:
    struct Route {
        std::string host;
        std::string path;
        FixtureReply reply;
        int used = 0;
    };

    void acceptLoop();
    void serve(int fd);
    bool readRequest(int fd, std::string& raw);
    FixtureReply answer(const FixtureRequest& request);
    FixtureReply fileReply(const std::string& file, int status) const;
    void perform(int fd, const FixtureReply& reply);
    bool waitStopOr(int fd, short events, int timeoutMs) const;
    bool sendAll(int fd, const char* data, size_t size) const;
    void holdUntilClientLeaves(int fd) const;
    void trickle(int fd, int everyMs) const;

    std::string root_;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int port_ = 0;
    bool stopped_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable requestArrived_;
    std::map<std::string, std::string> hostFolders_;
    std::vector<Route> routes_;
    std::vector<FixtureRequest> requests_;
    mutable size_t stallsLeft_ = 0;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A loopback port where nothing listens: connecting is refused at once. The
// port stays reserved (bound, not listening) while the object lives.
class RefusedPort {
public:
    RefusedPort();
    ~RefusedPort();
    RefusedPort(const RefusedPort&) = delete;
    RefusedPort& operator=(const RefusedPort&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback port whose connection queue is full: a connect neither completes
// nor fails until the client gives up.
class UnansweredPort {
public:
    UnansweredPort();
    ~UnansweredPort();
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};
