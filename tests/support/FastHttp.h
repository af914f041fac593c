#pragma once
// Makes HTTP time-outs and retry pauses short for the life of the object, so
// that tests of failing fetches take milliseconds instead of seconds.

#include <map>
#include <string>

#include "util/http.h"

class FastHttp {
public:
    explicit FastHttp(int ioTimeoutMs = 300, int connectTimeoutMs = 200, int retryWaitMs = 0)
        : saved_(http::timing()) {
        http::setTiming(http::Timing{connectTimeoutMs, ioTimeoutMs, retryWaitMs});
    }
    ~FastHttp() { http::setTiming(saved_); }
    FastHttp(const FastHttp&) = delete;
    FastHttp& operator=(const FastHttp&) = delete;

private:
    http::Timing saved_;
};

// Sends the connections to the named hosts to "address:port" for the life of
// the object, so that a direct fetch of a real host name reaches a loopback server.
class ResolveOverride {
public:
    explicit ResolveOverride(std::map<std::string, std::string> hostToAddress) {
        http::setResolveOverride(std::move(hostToAddress));
    }
    ~ResolveOverride() { http::setResolveOverride({}); }
    ResolveOverride(const ResolveOverride&) = delete;
    ResolveOverride& operator=(const ResolveOverride&) = delete;
};
