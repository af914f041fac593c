#pragma once
// One of the feed server's session threads: it waits for an accepted socket,
// sends the whole XML document on it and closes it, until the server stops.

#include <pthread.h>

#include <string>

#include "util/teskThread.h"

class plimServer;

class plimSession : public teskThread {
public:
    plimSession(plimServer* server, int socket, pthread_cond_t* condition);

    // Sends the whole text on the session's socket; true for an empty text and
    // when every byte went out.
    bool send(const std::string& text);

    // The document for the server's current data: headers, then one <city>
    // element per city with one <pair> per key.
    static std::string document(plimServer& server);

protected:
    void run() override;
    void cleanup() override;

private:
    bool waitForRequest();
    void serve();
    void finish();

    plimServer* server_;
    int socket_;
    pthread_cond_t* condition_;
};
