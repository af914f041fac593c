#include "app/plimSession.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <map>
#include <mutex>
#include <vector>

#include "app/plimServer.h"

namespace {

using Clock = std::chrono::steady_clock;

// A client that stops reading is given up after this long.
constexpr auto kSendTimeout = std::chrono::seconds(5);
// After the document went out, what the client sent is read and dropped for
// at most this long and this much, so that closing with unread bytes does not
// reset the connection before the client has read the document.
constexpr auto kLingerTimeout = std::chrono::seconds(1);
constexpr size_t kLingerLimit = 64 * 1024;

// Names, keys and values are scraped text: escape what would end an
// attribute or an element, and replace control bytes that XML forbids.
void appendXmlText(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                out += ' ';
            } else {
                out += c;
            }
        }
    }
}

int millisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until the socket is ready for `events`; false on time-out, on an
// error, and when the server is being destroyed.
bool waitReady(int socket, short events, int stopFd, Clock::time_point deadline) {
    for (;;) {
        pollfd watched[2] = {{socket, events, 0}, {stopFd, POLLIN, 0}};
        int ready = ::poll(watched, 2, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || watched[1].revents != 0) {
            return false;
        }
        return (watched[0].revents & (events | POLLHUP | POLLERR)) != 0;
    }
}

}  // namespace

plimSession::plimSession(plimServer* server, int socket, pthread_cond_t* condition)
    : server_(server), socket_(socket), condition_(condition) {}

void plimSession::run() {
    while (waitForRequest()) {
        serve();
    }
}

void plimSession::cleanup() { std::cerr << "cleanup!" << std::endl; }

bool plimSession::waitForRequest() {
    teskMutex& mutex = server_->getCondMutex();
    std::lock_guard lock(mutex);
    for (;;) {
        if (server_->isStopping()) {
            return false;
        }
        // Looked at before every wait: a socket queued while all sessions
        // were busy is served as soon as one of them comes back.
        if (server_->popRequest(socket_)) {
            return true;
        }
        pthread_cond_wait(condition_, mutex.getMutex());
    }
}

void plimSession::serve() {
    int flags = ::fcntl(socket_, F_GETFL);
    if (flags >= 0) {
        ::fcntl(socket_, F_SETFL, flags | O_NONBLOCK);
    }
    if (!send(document(*server_))) {
        std::cerr << "plimSession: failed to send screen saver xml!" << std::endl;
    }
    finish();
}

void plimSession::finish() {
    ::shutdown(socket_, SHUT_WR);
    auto deadline = Clock::now() + kLingerTimeout;
    char buffer[4096];
    size_t dropped = 0;
    while (dropped < kLingerLimit && waitReady(socket_, POLLIN, server_->sessionStopFd(), deadline)) {
        ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            break;
        }
        if (got > 0) {
            dropped += static_cast<size_t>(got);
        }
    }
    ::close(socket_);
    socket_ = -1;
}

bool plimSession::send(const std::string& text) {
    auto deadline = Clock::now() + kSendTimeout;
    size_t sent = 0;
    while (sent < text.size()) {
        ssize_t count = ::send(socket_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            waitReady(socket_, POLLOUT, server_->sessionStopFd(), deadline)) {
            continue;
        }
        return false;
    }
    return true;
}

std::string plimSession::document(plimServer& server) {
    std::string out = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nServer: ZVA/2.0Preview\r\n\r\n<skyv>\n";
    std::vector<std::string> cities;
    server.getCities(cities);
    for (const auto& city : cities) {
        std::map<std::string, std::string> table;
        // A city cleared since the list was taken is left out.
        if (!server.getHash(city, table)) {
            continue;
        }
        out += "<city name=\"";
        appendXmlText(out, city);
        out += "\">\n";
        for (const auto& [key, value] : table) {
            out += "  <pair key=\"";
            appendXmlText(out, key);
            out += "\">";
            appendXmlText(out, value);
            out += "</pair>\n";
        }
        out += "</city>\n";
    }
    out += "</skyv>\n";
    return out;
}
