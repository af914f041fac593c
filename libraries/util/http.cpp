#include "util/http.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "util/GeneralUtils.h"
#include "util/HttpBody.h"
#include "util/StopFlag.h"
#include "util/regex.h"

namespace {

const char* const kPageAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
const char* const kBinaryAgent = "Morsello/0.1 (compatible; MSIE 6.0; Windows NT 5.1)";
const char* const kSeparator = "\r\n\r\n";

std::atomic<int> gConnectTimeoutMs{3000};
std::atomic<int> gIoTimeoutMs{-1};
std::atomic<int> gRetryWaitMs{-1};

std::mutex gResolveMutex;
std::map<std::string, std::string> gResolveOverride;

// The address and port a connection to host really goes to.
void applyResolveOverride(std::string& host, int& port) {
    std::lock_guard<std::mutex> lock(gResolveMutex);
    auto it = gResolveOverride.find(host);
    if (it == gResolveOverride.end()) return;
    const size_t colon = it->second.rfind(':');
    if (colon == std::string::npos) return;
    host = it->second.substr(0, colon);
    port = std::atoi(it->second.c_str() + colon + 1);
}

// Text that goes into the request line or the Host header verbatim must not
// be able to end a line or the request early.
bool fitsRequestLine(const std::string& text) { return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

// The host as the Host header and an absolute URI name it: with the port
// unless it is the default one.
std::string hostField(const std::string& host, int port) {
    return port == http::kDefaultPort ? host : host + ":" + std::to_string(port);
}

// The first IPv4 address of host.
bool lookUpIPv4(const std::string& host, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    std::memcpy(&address, found->ai_addr, std::min<size_t>(sizeof address, found->ai_addrlen));
    ::freeaddrinfo(found);
    return true;
}

// One look-up on a thread of its own; the thread keeps it alive until it ends.
struct PendingLookUp {
    StopFlag done;  // set once the answer is in
    std::mutex mutex;
    bool found = false;
    sockaddr_in address{};
};

// Appends text without its zero bytes: they carry nothing in a page and
// would end it for C-string consumers.
void appendWithoutZeros(std::string& out, const char* bytes, size_t size) {
    for (const char* end = bytes + size; bytes < end;) {
        const char* zero = std::find(bytes, end, '\0');
        out.append(bytes, zero);
        bytes = zero == end ? end : zero + 1;
    }
}

void closeSocket(int fd) {
    while (::close(fd) != 0 && errno == EINTR) {
    }
}

}  // namespace

void http::setTiming(const Timing& timing) {
    gConnectTimeoutMs = timing.connectTimeoutMs;
    gIoTimeoutMs = timing.ioTimeoutMs;
    gRetryWaitMs = timing.retryWaitMs;
}

void http::setResolveOverride(std::map<std::string, std::string> hostToAddress) {
    std::lock_guard<std::mutex> lock(gResolveMutex);
    gResolveOverride = std::move(hostToAddress);
}

http::Timing http::timing() { return Timing{gConnectTimeoutMs.load(), gIoTimeoutMs.load(), gRetryWaitMs.load()}; }

http::http(int timeoutSecs, int retries, int retryWaitSecs)
    : timeoutSecs_(timeoutSecs), retries_(retries), retryWaitSecs_(retryWaitSecs) {}

int http::ioTimeoutMs() const {
    int override = gIoTimeoutMs.load();
    if (override >= 0) return std::max(override, 1);
    // A time-out of zero would let a silent server hold the thread for ever.
    return std::max(timeoutSecs_, 1) * 1000;
}

int http::retryWaitMs() const {
    int override = gRetryWaitMs.load();
    if (override >= 0) return override;
    return std::max(retryWaitSecs_, 0) * 1000;
}

int http::deadlineMs() const {
    const long long attempts = static_cast<long long>(std::max(retries_, 0)) + 1;
    const long long total = attempts * (static_cast<long long>(ioTimeoutMs()) + retryWaitMs());
    return static_cast<int>(std::min<long long>(total, INT_MAX));
}

bool http::stopped() const { return stop_ && stop_->isStopped(); }

int http::msLeft() const {
    if (deadline_ == SteadyClock::time_point::max()) return INT_MAX;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - SteadyClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

http::Wait http::resolve(const std::string& host, sockaddr_in& address) const {
    if (!stop_) return lookUpIPv4(host, address) ? Wait::Ready : Wait::TimedOut;
    // The resolver cannot be interrupted: it asks on a thread of its own, so
    // that a stop need not wait for a name server that does not answer. A
    // look-up left behind ends by itself and drops its answer.
    auto pending = std::make_shared<PendingLookUp>();
    try {
        std::thread([host, pending] {
            sockaddr_in found{};
            const bool ok = lookUpIPv4(host, found);
            {
                std::lock_guard<std::mutex> lock(pending->mutex);
                pending->found = ok;
                pending->address = found;
            }
            pending->done.stop();
        }).detach();
    } catch (const std::system_error&) {
        return lookUpIPv4(host, address) ? Wait::Ready : Wait::TimedOut;
    }
    // In short steps, which also cover a look-up flag that got no descriptor.
    while (!pending->done.isStopped())
        if (waitFor(pending->done.wakeFd(), POLLIN, 50) == Wait::Stopped) return Wait::Stopped;
    std::lock_guard<std::mutex> lock(pending->mutex);
    if (!pending->found) return Wait::TimedOut;
    address = pending->address;
    return Wait::Ready;
}

http::Wait http::waitFor(int fd, short events, int timeoutMs) const {
    const auto until = SteadyClock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    const int wake = stop_ ? stop_->wakeFd() : -1;
    while (true) {
        if (stopped()) return Wait::Stopped;
        const long long left =
            std::max<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(until - SteadyClock::now()).count(), 0);
        // A flag without a descriptor is looked at in short steps.
        const long long step = stop_ && wake < 0 ? std::min<long long>(left, 50) : left;
        pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
        const int ready = ::poll(fds, wake >= 0 ? 2 : 1, static_cast<int>(std::min<long long>(step, INT_MAX)));
        if (ready < 0 && errno != EINTR) return Wait::Ready;  // the call that follows reports the error
        if (ready > 0 && wake >= 0 && fds[1].revents != 0) return Wait::Stopped;
        if (ready > 0 && fds[0].revents != 0) return Wait::Ready;
        if (ready == 0 && left == 0) return Wait::TimedOut;
    }
}

bool http::retryPause(const std::string& host, const std::string& uri, int remaining) const {
    GeneralUtils::print("Retrying http request [" + host + uri + "] rl=[" + std::to_string(remaining) + "] waiting [" +
                        std::to_string(retryWaitSecs_) + "] secs\n");
    // The pause counts against the deadline like the attempts do.
    const int pause = std::min(retryWaitMs(), msLeft());
    if (stop_) return stop_->sleepFor(pause);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    return true;
}

std::string http::requestText(const std::string& method, const std::string& target, const std::string& host,
                              int port, const char* userAgent) const {
    return method + " " + target + " HTTP/1.0\r\nHost: " + hostField(host, port) +
           "\r\nAccept: */*\r\nUser-Agent: " + userAgent + "\r\n\r\n";
}

int http::startRequest(const std::string& hostAsked, int portAsked, const std::string& request, int& socket) {
    if (stopped()) return HttpResult::Stopped;
    std::string host = hostAsked;
    int port = portAsked;
    applyResolveOverride(host, port);
    if (port <= 0 || port > 65535) return HttpResult::NoConnect;
    sockaddr_in address{};
    const Wait resolved = resolve(host, address);
    if (resolved == Wait::Stopped) return HttpResult::Stopped;
    if (resolved != Wait::Ready) return HttpResult::NoHost;
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        GeneralUtils::error("error in socket\n");
        return HttpResult::SendFailed;
    }
    int ms = ioTimeoutMs();
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
        GeneralUtils::print("could not set socket rcv timeout!\n");
    }
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
        GeneralUtils::print("could not set socket snd timeout!\n");
    }
    if (!doNonBlockingConnect(fd, std::min(gConnectTimeoutMs.load(), msLeft()), &address, sizeof address)) {
        return stopped() ? HttpResult::Stopped : HttpResult::NoConnect;
    }
    // Send everything, however the kernel splits it; a closed peer must not
    // raise SIGPIPE.
    size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            GeneralUtils::error("error in send\n");
            closeSocket(fd);
            return HttpResult::SendFailed;
        }
        sent += static_cast<size_t>(n);
    }
    socket = fd;
    return HttpResult::Ok;
}

bool http::doNonBlockingConnect(int socket, int timeoutMs, const void* address, unsigned addressLength) {
    int flags = ::fcntl(socket, F_GETFL, 0);
    if (flags >= 0) ::fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(socket, static_cast<const sockaddr*>(address), static_cast<socklen_t>(addressLength));
    if (rc != 0 && (errno == EINPROGRESS || errno == EINTR)) {
        const Wait ready = waitFor(socket, POLLOUT, timeoutMs);
        if (ready != Wait::Ready) {
            if (ready == Wait::TimedOut) GeneralUtils::print("Connect Timed Out!\n");
            closeSocket(socket);
            return false;
        }
        int pending = 0;
        socklen_t len = sizeof pending;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &len) != 0 || pending != 0) {
            GeneralUtils::print("Connection Failure!\n");
            closeSocket(socket);
            return false;
        }
    } else if (rc != 0) {
        // Refused (or unreachable) at once: that is a failed connection too.
        GeneralUtils::print("Connection Failure!\n");
        closeSocket(socket);
        return false;
    }
    if (flags >= 0) ::fcntl(socket, F_SETFL, flags);
    return true;
}

int http::receiveUntilClosed(int fd, const std::function<bool(const char*, size_t)>& take) {
    char buffer[kChunkBytes + 1];
    int result = HttpResult::Ok;
    while (true) {
        // Each chunk has the time-out; the whole request its deadline.
        const Wait ready = waitFor(fd, POLLIN, std::min(ioTimeoutMs(), msLeft()));
        if (ready == Wait::Stopped) {
            result = HttpResult::Stopped;
            break;
        }
        if (ready == Wait::TimedOut) {
            result = HttpResult::ReceiveFailed;
            break;
        }
        ssize_t got = ::recv(fd, buffer, kChunkBytes, MSG_DONTWAIT);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            // A reset is how some servers end a reply; anything else (a
            // time-out included) is a failed receive.
            if (errno != ECONNRESET) result = HttpResult::ReceiveFailed;
            break;
        }
        if (!take(buffer, static_cast<size_t>(got))) break;
    }
    closeSocket(fd);
    return result;
}

void http::logTooLong(long bytes) {
    GeneralUtils::error("Got [" + std::to_string(bytes) + " bytes, page seems too long, bailing out of http request!\n");
}

int http::doRequest(const std::string& host, int port, const std::string& request, std::string& response,
                    bool bodyFollows) {
    int fd = -1;
    int rc = startRequest(host, port, request, fd);
    if (rc != HttpResult::Ok) return rc;
    response.clear();
    bool cut = false;
    std::optional<BodyReader> body;  // once the header is complete
    const BodySink keep = [&response](const char* bytes, size_t size) { appendWithoutZeros(response, bytes, size); };
    rc = receiveUntilClosed(fd, [&](const char* chunk, size_t size) {
        size_t used = 0;
        while (!body && used < size) {
            const char c = chunk[used++];
            if (c == '\0') continue;
            response.push_back(c);
            // A HEAD reply has no body to frame.
            if (c == '\n' && response.ends_with(kSeparator))
                body.emplace(bodyFollows ? BodyFraming::of(std::string_view(response).substr(0, response.size() - 4))
                                         : BodyFraming{});
        }
        const bool wanted = !body || body->take(chunk + used, size - used, keep);
        if (body && body->outcome() == BodyReader::Outcome::Faulty) return false;
        if (static_cast<long>(response.size()) > kMaxTextBytes) {
            // The page is used as far as it was read.
            logTooLong(static_cast<long>(response.size()));
            cut = true;
            return false;
        }
        return wanted;
    });
    if (rc != HttpResult::Ok || !bodyFollows) return rc;
    // Without an empty line the reply is all header, its body empty.
    if (!body) body.emplace(BodyFraming::of(response));
    // A connection that ended before the body did is a lost reply, not the
    // page: what is missing would read as values that are not there. Only
    // the size limit may end a page early.
    const BodyReader::Outcome outcome = body->outcome();
    if (outcome == BodyReader::Outcome::Whole || (outcome == BodyReader::Outcome::Short && cut)) return rc;
    body->logProblem();
    return HttpResult::ReceiveFailed;
}

int http::doRequestBinary(const std::string& host, int port, const std::string& request, char* data, int& length,
                          bool& overflow) {
    overflow = false;
    const long capacity = std::max(length, 0);
    int fd = -1;
    int rc = startRequest(host, port, request, fd);
    if (rc != HttpResult::Ok) return rc;
    length = 0;
    std::optional<BodyReader> body;  // once the header is complete
    // The header as received and then the body's own bytes, up to capacity.
    const BodySink store = [&](const char* bytes, size_t size) {
        const long keep = std::min<long>(static_cast<long>(size), capacity - length);
        std::memcpy(data + length, bytes, static_cast<size_t>(keep));
        length += static_cast<int>(keep);
        if (keep < static_cast<long>(size)) overflow = true;
    };
    rc = receiveUntilClosed(fd, [&](const char* chunk, size_t size) {
        size_t used = 0;
        while (!body && used < size && !overflow) {
            store(chunk + used++, 1);
            if (!overflow && length >= 4 && std::memcmp(data + length - 4, kSeparator, 4) == 0)
                body.emplace(BodyFraming::of(std::string_view(data, static_cast<size_t>(length) - 4)));
        }
        const bool wanted = !body || body->take(chunk + used, size - used, store);
        // A reply that cannot fit or be framed: reading on would only drop bytes.
        if (overflow || (body && body->outcome() == BodyReader::Outcome::Faulty)) return false;
        if (length < kMaxBinaryBytes) return wanted;
        logTooLong(length);
        overflow = true;
        return false;
    });
    // A reply without a complete header is refused by the caller on its own.
    if (rc != HttpResult::Ok || overflow || !body || body->outcome() == BodyReader::Outcome::Whole) return rc;
    body->logProblem();
    return HttpResult::ReceiveFailed;
}

bool http::refuseUnsafe(const std::string& host, const std::string& uri) const {
    if (fitsRequestLine(host) && fitsRequestLine(uri)) return false;
    GeneralUtils::error("http: not sending a request whose host or path holds a line break\n");
    return true;
}

int http::withRetries(const std::string& host, const std::string& uri, const std::function<int()>& attempt) {
    deadline_ = SteadyClock::now() + std::chrono::milliseconds(deadlineMs());
    int rc = HttpResult::Ok;
    for (int remaining = retries_; remaining >= 0;) {
        rc = attempt();
        if (rc == HttpResult::Ok || rc == HttpResult::Stopped) break;
        --remaining;
        if (!retryPause(host, uri, remaining)) {
            rc = HttpResult::Stopped;
            break;
        }
        if (msLeft() == 0) break;
    }
    deadline_ = SteadyClock::time_point::max();
    return rc;
}

int http::get(const std::string& host, const std::string& uri, int port, const std::string& proxyHost, int proxyPort,
              std::string& header, std::string& body) {
    if (refuseUnsafe(host, uri)) return HttpResult::SendFailed;
    const bool viaProxy = !proxyHost.empty();
    const std::string target = viaProxy ? "http://" + hostField(host, port) + uri : uri;
    const std::string request = requestText("GET", target, host, port, kPageAgent);
    std::string response;
    int rc = withRetries(host, uri, [&] {
        return viaProxy ? doRequest(proxyHost, proxyPort, request, response) : doRequest(host, port, request, response);
    });
    if (rc != HttpResult::Ok) return rc;
    header.clear();
    body.clear();
    getHeaderAndData(response, header, body);
    return HttpResult::Ok;
}

int http::getBinary(const std::string& host, const std::string& uri, int port, std::string& header, char* data,
                    int capacity, int& length, const std::string& proxyHost, int proxyPort) {
    if (refuseUnsafe(host, uri)) return HttpResult::SendFailed;
    const bool viaProxy = !proxyHost.empty();
    capacity = std::max(capacity, 0);
    // Reading stops at the binary limit, so a larger capacity needs no larger buffer.
    const int usable = static_cast<int>(std::min<long>(capacity, kMaxBinaryBytes + kChunkBytes));
    const std::string target = viaProxy ? "http://" + hostField(host, port) + uri : uri;
    const std::string request = requestText("GET", target, host, port, kBinaryAgent);
    std::vector<char> work(static_cast<size_t>(usable) + 1);
    int stored = 0;
    bool received = false;
    bool overflow = false;
    int rc = withRetries(host, uri, [&] {
        stored = usable;  // every attempt may use the whole capacity again
        int result = viaProxy ? doRequestBinary(proxyHost, proxyPort, request, work.data(), stored, overflow)
                              : doRequestBinary(host, port, request, work.data(), stored, overflow);
        // Codes 1 to 3 come before the first byte is read.
        received = result == HttpResult::Ok || result == HttpResult::ReceiveFailed;
        return result;
    });
    length = received ? stored : capacity;
    if (rc != HttpResult::Ok) return rc;

    const char* begin = work.data();
    const char* end = begin + stored;
    const char* separator = std::search(begin, end, kSeparator, kSeparator + 4);
    if (separator == end) return HttpResult::ReceiveFailed;
    const long headerBytes = (separator - begin) + 4;
    const long bodyBytes = stored - headerBytes;
    if (overflow || bodyBytes > capacity) {
        GeneralUtils::print("Data too big to fit in data ptr!\n");
        return HttpResult::ReceiveFailed;
    }
    if (bodyBytes == 0) return HttpResult::ReceiveFailed;
    std::memcpy(data, begin + headerBytes, static_cast<size_t>(bodyBytes));
    length = static_cast<int>(bodyBytes);
    header.assign(begin, static_cast<size_t>(headerBytes));
    return HttpResult::Ok;
}

int http::head(const std::string& host, const std::string& uri, std::string& header, int port) {
    if (refuseUnsafe(host, uri)) return HttpResult::SendFailed;
    const std::string request = requestText("HEAD", uri, host, port, kBinaryAgent);
    std::string response;
    int rc = withRetries(host, uri, [&] { return doRequest(host, port, request, response, false); });
    if (rc != HttpResult::Ok) return rc;
    std::string headerPart;
    std::string bodyPart;
    getHeaderAndData(response, headerPart, bodyPart);
    header = headerPart;
    return HttpResult::Ok;
}

bool http::isRedirect(const std::string& header, std::string& location) {
    std::vector<std::string> lines;
    regex::split("[\r\n]", header, lines, RegexFlags::Extended);
    regex pattern("Location[:][ ]*(.*)$", RegexFlags::Extended);
    for (const std::string& line : lines) {
        std::string target;
        if (pattern.matchOne(line, target)) {
            location = target;
            return true;
        }
    }
    return false;
}

void http::getHeaderAndData(std::string& response, std::string& header, std::string& body) {
    if (response.empty()) return;
    size_t separator = response.find(kSeparator);
    if (separator == std::string::npos) {
        header += response;
        return;
    }
    header.append(response, 0, separator);
    body.append(response, separator + 4, std::string::npos);
}
