#include "support/FixtureServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

constexpr size_t kMaxRequestBytes = 64 * 1024;
constexpr int kRequestReadMs = 5000;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string reasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 303: return "See Other";
        case 307: return "Temporary Redirect";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

std::string contentTypeFor(const std::string& file) {
    std::string name = file.substr(0, file.find('?'));
    size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : lower(name.substr(dot + 1));
    if (ext == "html" || ext == "htm" || ext == "php" || ext == "asp") return "text/html";
    if (ext == "xml" || ext == "rss") return "text/xml";
    if (ext == "gif") return "image/gif";
    if (ext == "png") return "image/png";
    if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
    return "text/plain";
}

// Host without a trailing ":port".
std::string stripPort(const std::string& host) {
    size_t colon = host.rfind(':');
    if (colon == std::string::npos || colon + 1 == host.size()) return host;
    for (size_t i = colon + 1; i < host.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(host[i]))) return host;
    }
    return host.substr(0, colon);
}

bool readWholeFile(const std::string& path, std::string& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    out = buffer.str();
    return true;
}

// Path segments that would climb out of the fixtures folder.
bool climbs(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

FixtureRequest parseRequest(const std::string& raw) {
    FixtureRequest request;
    request.raw = raw;
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t end = raw.find("\r\n", pos);
        if (end == std::string::npos) end = raw.size();
        lines.push_back(raw.substr(pos, end - pos));
        pos = end + 2;
    }
    if (lines.empty()) return request;
    std::istringstream first(lines.front());
    first >> request.method >> request.target >> request.version;
    for (size_t i = 1; i < lines.size(); ++i) {
        size_t colon = lines[i].find(':');
        if (colon == std::string::npos) continue;
        std::string value = lines[i].substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        request.headers[lower(lines[i].substr(0, colon))] = value;
    }
    if (lower(request.target.substr(0, 7)) == "http://") {
        request.proxyForm = true;
        std::string rest = request.target.substr(7);
        size_t slash = rest.find('/');
        request.host = rest.substr(0, slash);
        request.path = slash == std::string::npos ? "/" : rest.substr(slash);
    } else {
        request.host = request.header("host");
        request.path = request.target;
    }
    request.host = lower(stripPort(request.host));
    return request;
}

void closeQuietly(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void resetAndClose(int fd) {
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

// A TCP socket bound to 127.0.0.1 at a port the system picks.
int bindLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("fixture server: socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        throw std::runtime_error("fixture server: bind failed");
    }
    port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

// ---------------------------------------------------------------- replies

FixtureReply FixtureReply::page(std::string body, int status, std::string contentType) {
    FixtureReply reply;
    reply.status = status;
    reply.body = std::move(body);
    reply.headers.emplace_back("Content-Type", std::move(contentType));
    return reply;
}

FixtureReply FixtureReply::redirect(const std::string& location, int status) {
    FixtureReply reply = page("<html><body>Moved</body></html>", status);
    reply.headers.emplace_back("Location", location);
    return reply;
}

FixtureReply FixtureReply::rawBytes(std::string bytes) {
    FixtureReply reply;
    reply.useRaw = true;
    reply.raw = std::move(bytes);
    return reply;
}

FixtureReply FixtureReply::acting(Action action) {
    FixtureReply reply;
    reply.action = action;
    return reply;
}

FixtureReply FixtureReply::closeEarly() { return acting(Action::Close); }

FixtureReply FixtureReply::reset() { return acting(Action::Reset); }

FixtureReply FixtureReply::stall() { return acting(Action::Stall); }

FixtureReply FixtureReply::flood() { return acting(Action::Flood); }

FixtureReply FixtureReply::trickle(int everyMs) {
    FixtureReply reply = acting(Action::Trickle);
    reply.trickleMs = everyMs;
    return reply;
}

FixtureReply& FixtureReply::header(const std::string& name, const std::string& value) {
    headers.emplace_back(name, value);
    return *this;
}

FixtureReply& FixtureReply::partial(long bytes, Action after) {
    sendBytes = bytes;
    then = after;
    return *this;
}

FixtureReply& FixtureReply::delay(int ms) {
    delayMs = ms;
    return *this;
}

FixtureReply& FixtureReply::onlyTimes(int count) {
    times = count;
    return *this;
}

std::string FixtureReply::wire() const {
    if (useRaw) return raw;
    std::string out = "HTTP/1.0 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : headers) {
        out += name + ": " + value + "\r\n";
        if (lower(name) == "content-length") hasLength = true;
    }
    if (!hasLength) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "\r\n";
    out += body;
    return out;
}

std::string FixtureRequest::header(const std::string& name) const {
    auto it = headers.find(lower(name));
    return it == headers.end() ? std::string() : it->second;
}

// ---------------------------------------------------------------- server

FixtureServer::FixtureServer(std::string root) : root_(std::move(root)) {
    listenFd_ = bindLoopback(port_);
    if (::listen(listenFd_, 64) != 0) {
        closeQuietly(listenFd_);
        throw std::runtime_error("fixture server: listen failed");
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        closeQuietly(listenFd_);
        throw std::runtime_error("fixture server: pipe failed");
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FixtureServer::~FixtureServer() { stop(); }

void FixtureServer::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) return;
        stopped_ = true;
    }
    // The pipe stays readable from now on: every wait in every worker sees it.
    char byte = 1;
    while (::write(wakeWrite_, &byte, 1) < 0 && errno == EINTR) {
    }
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers.swap(workers_);
    }
    for (std::thread& worker : workers) worker.join();
    closeQuietly(listenFd_);
    closeQuietly(wakeRead_);
    closeQuietly(wakeWrite_);
}

std::string FixtureServer::address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string FixtureServer::url(const std::string& path) const { return "http://" + address() + path; }

void FixtureServer::mapHost(const std::string& host, const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    hostFolders_[lower(host)] = folder;
}

void FixtureServer::route(const std::string& host, const std::string& path, FixtureReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_.push_back(Route{host == "*" ? host : lower(host), path, std::move(reply), 0});
}

void FixtureServer::routeFile(const std::string& host, const std::string& path, const std::string& file,
                              int status) {
    route(host, path, fileReply(root_ + "/" + file, status));
}

void FixtureServer::clearRoutes() {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_.clear();
}

std::vector<FixtureRequest> FixtureServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

FixtureRequest FixtureServer::lastRequest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.empty() ? FixtureRequest() : requests_.back();
}

size_t FixtureServer::requestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

bool FixtureServer::waitForRequests(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return requestArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return requests_.size() >= count; });
}

bool FixtureServer::waitForStallsLeft(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return requestArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return stallsLeft_ >= count; });
}

void FixtureServer::clearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void FixtureServer::acceptLoop() {
    while (true) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) {
            ::close(fd);
            return;
        }
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

// True when fd is ready for events; false on time-out or when the server stops.
bool FixtureServer::waitStopOr(int fd, short events, int timeoutMs) const {
    pollfd fds[2] = {{fd, events, 0}, {wakeRead_, POLLIN, 0}};
    int nfds = fd >= 0 ? 2 : 1;
    pollfd* first = fd >= 0 ? fds : fds + 1;
    while (true) {
        int ready = ::poll(first, static_cast<nfds_t>(nfds), timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        if (fds[1].revents != 0) return false;
        return true;
    }
}

bool FixtureServer::readRequest(int fd, std::string& raw) {
    char buffer[4096];
    while (raw.find("\r\n\r\n") == std::string::npos && raw.size() < kMaxRequestBytes) {
        if (!waitStopOr(fd, POLLIN, kRequestReadMs)) return false;
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got <= 0) return !raw.empty();
        raw.append(buffer, static_cast<size_t>(got));
    }
    size_t end = raw.find("\r\n\r\n");
    if (end != std::string::npos) raw.resize(end + 4);
    return true;
}

void FixtureServer::serve(int fd) {
    std::string raw;
    if (!readRequest(fd, raw)) {
        ::close(fd);
        return;
    }
    FixtureRequest request = parseRequest(raw);
    FixtureReply reply = answer(request);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(std::move(request));
    }
    requestArrived_.notify_all();
    perform(fd, reply);
}

FixtureReply FixtureServer::answer(const FixtureRequest& request) {
    std::string bare = request.path.substr(0, request.path.find('?'));
    std::string folder;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = routes_.rbegin(); it != routes_.rend(); ++it) {
            Route& r = *it;
            if (r.host != "*" && r.host != request.host) continue;
            bool whole = r.path.find('?') != std::string::npos;
            if (r.path != "*" && (whole ? r.path != request.path : r.path != bare)) continue;
            if (r.reply.times >= 0 && r.used >= r.reply.times) continue;
            ++r.used;
            return r.reply;
        }
        auto mapped = hostFolders_.find(request.host);
        folder = mapped == hostFolders_.end() ? request.host : mapped->second;
    }
    std::string relative = request.path.empty() ? std::string() : request.path.substr(1);
    std::string relativeBare = bare.empty() ? std::string() : bare.substr(1);
    if (relativeBare.empty() || relativeBare.back() == '/') relativeBare += "index.html";
    if (!folder.empty() && !climbs(folder) && !climbs(relativeBare) && request.path.starts_with("/")) {
        std::string base = root_ + "/" + folder + "/";
        std::string contents;
        if (relative != relativeBare && !climbs(relative) && readWholeFile(base + relative, contents)) {
            return FixtureReply::page(std::move(contents), 200, contentTypeFor(relative));
        }
        if (readWholeFile(base + relativeBare, contents)) {
            return FixtureReply::page(std::move(contents), 200, contentTypeFor(relativeBare));
        }
    }
    return FixtureReply::page("<html><body>Not Found</body></html>", 404);
}

FixtureReply FixtureServer::fileReply(const std::string& file, int status) const {
    std::string contents;
    if (!readWholeFile(file, contents)) {
        ADD_FAILURE() << "fixture file missing: " << file;
    }
    return FixtureReply::page(std::move(contents), status, contentTypeFor(file));
}

bool FixtureServer::sendAll(int fd, const char* data, size_t size) const {
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            if (!waitStopOr(fd, POLLOUT, -1)) return false;
            continue;
        }
        return false;
    }
    return true;
}

void FixtureServer::holdUntilClientLeaves(int fd) const {
    char buffer[1024];
    while (waitStopOr(fd, POLLIN, -1)) {
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++stallsLeft_;
            requestArrived_.notify_all();
            return;
        }
    }
}

void FixtureServer::trickle(int fd, int everyMs) const {
    static const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    if (!sendAll(fd, head.data(), head.size())) return;
    while (true) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, everyMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[1].revents != 0) return;  // the server stops
        if (fds[0].revents != 0) {
            char byte;
            if (::recv(fd, &byte, 1, MSG_DONTWAIT) <= 0) return;  // the client left
            continue;
        }
        if (!sendAll(fd, "x", 1)) return;
    }
}

void FixtureServer::perform(int fd, const FixtureReply& reply) {
    using Action = FixtureReply::Action;
    if (reply.delayMs > 0 && waitStopOr(-1, 0, reply.delayMs)) {
        ::close(fd);  // the server stopped during the pause
        return;
    }
    Action last = Action::Close;
    switch (reply.action) {
        case Action::Close:
            break;
        case Action::Reset:
            last = Action::Reset;
            break;
        case Action::Stall:
            last = Action::Stall;
            break;
        case Action::Flood: {
            static const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
            const std::string chunk(64 * 1024, 'x');
            if (sendAll(fd, head.data(), head.size())) {
                while (sendAll(fd, chunk.data(), chunk.size())) {
                }
            }
            break;
        }
        case Action::Trickle:
            trickle(fd, reply.trickleMs);
            break;
        case Action::Reply: {
            std::string bytes = reply.wire();
            bool cut = reply.sendBytes >= 0 && static_cast<size_t>(reply.sendBytes) < bytes.size();
            if (cut) bytes.resize(static_cast<size_t>(reply.sendBytes));
            // Writes of writeBytes, a moment apart and each its own segment, reach the client as pieces.
            const size_t step = reply.writeBytes > 0 ? static_cast<size_t>(reply.writeBytes) : bytes.size();
            const int piecewise = reply.writeBytes > 0;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &piecewise, sizeof piecewise);
            size_t at = 0;
            while (at < bytes.size() && sendAll(fd, bytes.data() + at, std::min(step, bytes.size() - at)))
                if ((at += step) < bytes.size()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (at < bytes.size()) break;
            if (reply.sendBytes >= 0) last = reply.then;
            break;
        }
    }
    if (last == Action::Reset) {
        resetAndClose(fd);
        return;
    }
    if (last == Action::Stall) holdUntilClientLeaves(fd);
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

// ---------------------------------------------------------------- dead ports

RefusedPort::RefusedPort() { fd_ = bindLoopback(port_); }

RefusedPort::~RefusedPort() { closeQuietly(fd_); }

UnansweredPort::UnansweredPort() {
    fd_ = bindLoopback(port_);
    if (::listen(fd_, 0) != 0) throw std::runtime_error("unanswered port: listen failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    // Nothing accepts: connect until one stays pending, which shows the queue is full.
    for (int i = 0; i < 16; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) break;
        fillers_.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) continue;
        if (errno != EINPROGRESS) break;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 100) == 0) return;
    }
    for (int fd : fillers_) ::close(fd);
    ::close(fd_);
    throw std::runtime_error("unanswered port: the connection queue never filled");
}

UnansweredPort::~UnansweredPort() {
    for (int fd : fillers_) ::close(fd);
    closeQuietly(fd_);
}
