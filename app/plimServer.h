#pragma once
// A small HTTP server on the loopback interface that hands the current
// weather, city by city, to a companion screen saver as a plain XML document.
// The menu controller owns one when a server is attached to it: it stores one
// table per city and starts the listening thread with start(). Three session
// threads, started by the constructor, answer the accepted connections.

#include <pthread.h>

#include <array>
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/plimData.h"
#include "util/teskThread.h"

class plimSession;

class plimServer : public teskThread {
public:
    static constexpr int kSessionCount = 3;

    // Listens on 127.0.0.1 at the port once started; port 0 lets the system
    // choose one (see listeningPort()).
    explicit plimServer(int port);
    // Stops the listening thread and the sessions, waits for all of them and
    // closes every socket the server still holds.
    ~plimServer() override;

    // Stops the listening thread and waits for it; the sessions keep running,
    // and start() may listen again afterwards.
    void join() override;

    virtual void clearData();
    // Stores a copy of the table for the city, with "version" = "2.0P" and,
    // once enableAdvance() was called, "zva" = "1".
    virtual void setHash(const std::string& city, const std::map<std::string, std::string>& table);
    virtual void getCities(std::vector<std::string>& cities);
    virtual bool getHash(const std::string& city, std::map<std::string, std::string>& table);
    virtual void enableAdvance();

    // Queues an accepted socket (the queue then owns it) and wakes a session.
    bool pushRequest(int socket);
    // Takes the oldest queued socket; false when none is queued.
    bool popRequest(int& socket);

    // The mutex that goes with the sessions' shared condition.
    teskMutex& getCondMutex() { return condMutex_; }
    // True once the server is being destroyed; read with getCondMutex() held.
    bool isStopping() const { return stopping_; }
    // Readable once the server is being destroyed, so that a session waiting
    // on a slow client gives up at once.
    int sessionStopFd() const { return sessionStop_[0]; }

    // The port the listening socket is bound to; 0 while not listening.
    int listeningPort() const { return boundPort_; }

protected:
    void run() override;

private:
    void acceptLoop(int listener);
    void stopSessions();

    std::atomic<bool> listening_{false};
    std::atomic<int> boundPort_{0};
    int port_;
    teskMutex dataMutex_;
    teskMutex queueMutex_;
    teskMutex condMutex_;
    plimData data_;
    bool advanced_ = false;       // guarded by dataMutex_
    int stopPipe_[2] = {-1, -1};  // ends the listening loop
    int sessionStop_[2] = {-1, -1};
    std::deque<int> queue_;  // guarded by queueMutex_
    bool stopping_ = false;  // guarded by condMutex_
    pthread_cond_t condition_;
    std::array<std::unique_ptr<plimSession>, kSessionCount> sessions_;
};
