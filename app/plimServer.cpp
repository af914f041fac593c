#include "app/plimServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>

#include "app/plimSession.h"

namespace {

// Room for a burst of clients connecting at once, so that none waits for a
// retransmitted connection request; the sessions empty the queue quickly.
constexpr int kListenBacklog = SOMAXCONN;

void closeIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void writeStopBlock(int fd) {
    char block[128] = "Shutdown!";
    ssize_t written;
    do {
        written = ::write(fd, block, sizeof block);
    } while (written < 0 && errno == EINTR);
}

void drainPipe(int fd) {
    char buffer[256];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

// Errors of one connection that leave the listening socket usable.
bool isTransientAcceptError(int error) {
    return error == EINTR || error == ECONNABORTED || error == EAGAIN || error == EWOULDBLOCK ||
           error == EPROTO;
}

}  // namespace

plimServer::plimServer(int port) : port_(port) {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0 || ::pipe2(sessionStop_, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        std::cerr << "plimServer: couldn't open stop pipe [" << error << "]" << std::endl;
    }
    pthread_cond_init(&condition_, nullptr);
    for (auto& session : sessions_) {
        session = std::make_unique<plimSession>(this, -1, &condition_);
        session->start();
    }
}

plimServer::~plimServer() {
    std::cout << "PlimServer destructor called!" << std::endl;
    join();
    stopSessions();
    int socket;
    while (popRequest(socket)) {
        ::close(socket);
    }
    pthread_cond_destroy(&condition_);
    for (int* fds : {stopPipe_, sessionStop_}) {
        closeIfOpen(fds[0]);
        closeIfOpen(fds[1]);
    }
}

void plimServer::join() {
    if (isStarted() && stopPipe_[1] >= 0) {
        writeStopBlock(stopPipe_[1]);
    }
    teskThread::join();
    // A loop that gave up before reading the block leaves it behind; a later
    // start() must not find it.
    if (stopPipe_[0] >= 0) {
        drainPipe(stopPipe_[0]);
    }
}

void plimServer::stopSessions() {
    if (sessionStop_[1] >= 0) {
        writeStopBlock(sessionStop_[1]);
    }
    {
        std::lock_guard lock(condMutex_);
        stopping_ = true;
        pthread_cond_broadcast(&condition_);
    }
    for (auto& session : sessions_) {
        session->join();
    }
}

void plimServer::run() {
    if (listening_) {
        return;
    }
    // Without the stop pipe the loop could never be ended by join().
    if (stopPipe_[0] < 0) {
        return;
    }
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int reuse = 1;
    if (listener < 0 || ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, kListenBacklog) != 0) {
        const int error = errno;
        std::cerr << "Bind failed with error=[" << error << "] sizeof=[" << sizeof address << "]" << std::endl;
        closeIfOpen(listener);
        return;
    }
    socklen_t length = sizeof address;
    if (::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        boundPort_ = ntohs(address.sin_port);
    }
    listening_ = true;
    acceptLoop(listener);
    ::close(listener);
    boundPort_ = 0;
    listening_ = false;
}

void plimServer::acceptLoop(int listener) {
    for (;;) {
        pollfd watched[2] = {{listener, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            std::cerr << "plimServer: poll failed [" << error << "]" << std::endl;
            return;
        }
        if (watched[1].revents != 0) {
            return;
        }
        if ((watched[0].revents & (POLLERR | POLLNVAL)) != 0) {
            std::cerr << "Could not accept" << std::endl;
            return;
        }
        if ((watched[0].revents & POLLIN) == 0) {
            continue;
        }
        int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (isTransientAcceptError(errno)) {
                continue;
            }
            std::cerr << "Could not accept" << std::endl;
            return;
        }
        pushRequest(client);
    }
}

void plimServer::clearData() {
    std::lock_guard lock(dataMutex_);
    data_.clearData();
}

void plimServer::setHash(const std::string& city, const std::map<std::string, std::string>& table) {
    std::lock_guard lock(dataMutex_);
    std::map<std::string, std::string> copy = table;
    if (advanced_) {
        copy["zva"] = "1";
    }
    copy["version"] = "2.0P";
    data_.setHash(city, copy);
}

void plimServer::getCities(std::vector<std::string>& cities) {
    std::lock_guard lock(dataMutex_);
    data_.getCities(cities);
}

bool plimServer::getHash(const std::string& city, std::map<std::string, std::string>& table) {
    std::lock_guard lock(dataMutex_);
    return data_.getHash(city, table);
}

void plimServer::enableAdvance() {
    std::lock_guard lock(dataMutex_);
    advanced_ = true;
}

bool plimServer::pushRequest(int socket) {
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(socket);
    }
    // Signalled under the condition's mutex: a session that found the queue
    // empty is then already waiting and cannot miss the wake-up.
    std::lock_guard lock(condMutex_);
    pthread_cond_signal(&condition_);
    return true;
}

bool plimServer::popRequest(int& socket) {
    std::lock_guard lock(queueMutex_);
    if (queue_.empty()) {
        return false;
    }
    socket = queue_.front();
    queue_.pop_front();
    return true;
}
