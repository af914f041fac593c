#pragma once
// A request to stop network work that a blocked fetch notices at once: a
// flag, and a descriptor that becomes readable when the flag is set, so that
// poll() can wait for a socket and for the stop together. Once set, the flag
// stays set: the work it belongs to is being torn down.

#include <atomic>

class StopFlag {
public:
    StopFlag();
    ~StopFlag();
    StopFlag(const StopFlag&) = delete;
    StopFlag& operator=(const StopFlag&) = delete;

    // Sets the flag and wakes every waiter. Any thread may call it, and a
    // signal handler too (an atomic store and a write()).
    void stop();
    bool isStopped() const { return stopped_.load(); }
    // Readable once stop() was called; -1 when the system gave no descriptor
    // (waits then look at the flag in short steps).
    int wakeFd() const { return fd_; }
    // Waits up to ms milliseconds; false when stopped before or meanwhile.
    bool sleepFor(int ms) const;

private:
    std::atomic<bool> stopped_{false};
    int fd_ = -1;
};
