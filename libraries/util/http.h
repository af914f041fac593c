#pragma once
// A blocking HTTP/1.0 client: one request per connection, read until the
// server closes, with retries and an optional HTTP proxy.

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>

class StopFlag;

// Result codes of every request operation.
namespace HttpResult {
constexpr int Ok = 0;
constexpr int NoHost = 1;       // the host name could not be resolved
constexpr int NoConnect = 2;    // refused or not completed within the connect time-out
constexpr int SendFailed = 3;   // no socket, or the request could not be sent
constexpr int ReceiveFailed = 4;  // a receive error, or a body that is cut short or cannot be framed (a
                                  // bad Content-Length or chunk framing); for binary fetches also an
                                  // unusable reply
constexpr int Stopped = 5;        // the stop flag was set: no further attempt is made
}  // namespace HttpResult

class http {
public:
    // Process-wide timing, so that tests need not wait seconds. A negative
    // value keeps what each object was built with.
    struct Timing {
        int connectTimeoutMs = 3000;
        int ioTimeoutMs = -1;    // replaces timeoutSecs
        int retryWaitMs = -1;    // replaces retryWaitSecs
    };
    static void setTiming(const Timing& timing);
    static Timing timing();
    // Connections to a host named here go to the "address:port" given
    // instead, whatever port was asked for (as curl's --resolve does), so
    // that tests reach hosts that keep their real names on a loopback
    // server. Empty: the system resolver alone.
    static void setResolveOverride(std::map<std::string, std::string> hostToAddress);

    static constexpr int kDefaultPort = 80;
    static constexpr int kChunkBytes = 10239;
    static constexpr long kMaxTextBytes = 1048576;
    static constexpr long kMaxBinaryBytes = 1048577;

    http(int timeoutSecs, int retries, int retryWaitSecs);

    // Every wait of a request also watches this flag: once it is set the
    // request ends at once with Stopped, without a retry.
    void setStopFlag(std::shared_ptr<StopFlag> flag) { stop_ = std::move(flag); }

    // Each request operation has an overall deadline: the time-out and the
    // pause once per attempt. A server that trickles its reply cannot hold a
    // request longer than one that stays silent.
    int deadlineMs() const;

    // Fetches uri from host:port, or through proxyHost:proxyPort when proxyHost
    // is not empty. On success header and body are replaced by the two halves
    // of the reply (a chunked body decoded, the header as received); on
    // failure they keep their content.
    int get(const std::string& host, const std::string& uri, int port, const std::string& proxyHost,
            int proxyPort, std::string& header, std::string& body);
    // Fetches bytes, directly or through proxyHost:proxyPort when proxyHost
    // is not empty. On success data holds the body (not terminated; a chunked
    // body decoded), length its size and header the reply up to and
    // including its empty line. A reply that does not fit capacity fails.
    int getBinary(const std::string& host, const std::string& uri, int port, std::string& header, char* data,
                  int capacity, int& length, const std::string& proxyHost = "", int proxyPort = 0);
    // The header of the reply to a HEAD request.
    int head(const std::string& host, const std::string& uri, std::string& header, int port = kDefaultPort);

    // The target of the first header line holding "Location:" (also a
    // "Content-Location:" line). False, location untouched, when none does.
    static bool isRedirect(const std::string& header, std::string& location);
    // Appends the text before the first empty line to header and the rest,
    // verbatim, to body; a response without an empty line is all header.
    void getHeaderAndData(std::string& response, std::string& header, std::string& body);

protected:
    int startRequest(const std::string& host, int port, const std::string& request, int& socket);
    bool doNonBlockingConnect(int socket, int timeoutMs, const void* address, unsigned addressLength);
    // A reply with a body (every GET) is read as its header frames it: a
    // chunked body is decoded, and one that stops short or cannot be framed
    // fails with ReceiveFailed; a HEAD reply's is not checked.
    int doRequest(const std::string& host, int port, const std::string& request, std::string& response,
                  bool bodyFollows = true);
    // length: the capacity on entry, the bytes stored on return (the header
    // as received, then the body decoded as for text). overflow is set when
    // the reply did not fit.
    int doRequestBinary(const std::string& host, int port, const std::string& request, char* data, int& length,
                        bool& overflow);

private:
    using SteadyClock = std::chrono::steady_clock;
    enum class Wait { Ready, TimedOut, Stopped };

    // Reads chunks until the peer closes or take returns false; closes fd.
    int receiveUntilClosed(int fd, const std::function<bool(const char*, size_t)>& take);
    // Waits until fd is ready for events, timeoutMs pass or the stop flag is set.
    Wait waitFor(int fd, short events, int timeoutMs) const;
    // The first IPv4 address of host: Ready, TimedOut when there is none, or
    // Stopped when the stop flag was set during the look-up.
    Wait resolve(const std::string& host, struct sockaddr_in& address) const;
    bool stopped() const;
    // Milliseconds until the request's deadline (0 when it passed).
    int msLeft() const;
    static void logTooLong(long bytes);
    bool refuseUnsafe(const std::string& host, const std::string& uri) const;
    // Runs attempt until it succeeds or the retries are used up, pausing after each failure.
    int withRetries(const std::string& host, const std::string& uri, const std::function<int()>& attempt);
    int ioTimeoutMs() const;
    int retryWaitMs() const;
    // Logs the retry and pauses; false when the stop flag ended the pause.
    bool retryPause(const std::string& host, const std::string& uri, int remaining) const;
    std::string requestText(const std::string& method, const std::string& target, const std::string& host,
                            int port, const char* userAgent) const;

    const int timeoutSecs_;
    const int retries_;
    const int retryWaitSecs_;
    std::shared_ptr<StopFlag> stop_;
    SteadyClock::time_point deadline_ = SteadyClock::time_point::max();
};
