#pragma once
// The process-wide timer thread: keeps every named timer, sleeps until the
// earliest wake-up of a running one and fires those that are due. Also the
// time values the timers count in.

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <list>
#include <mutex>
#include <string>

#include "util/teskThread.h"

class teskTimer;

class teskTimerThread : public teskObjcThread {
public:
    // A point in time: seconds since 1970 and milliseconds 0..999.
    struct time {
        int64_t secs = 0;
        int ms = 0;
    };

    // The process-wide timer thread, created and started on first use. It is
    // never deleted: it sleeps in a wait when the process exits.
    static teskTimerThread* getTimerThreadInstance();

    // A timer thread of its own (the singleton above is the usual one); it is
    // started with start() and ends when deleted. Its timers go first.
    teskTimerThread();
    ~teskTimerThread() override;

    // Registers a timer (wakes the thread when the timer is running).
    void addTimer(teskTimer* timer);
    // Unregisters a timer and waits until a go() of it that runs on this
    // thread has returned (unless called from that very go()).
    void removeTimer(teskTimer* timer);
    // Wakes the thread to recompute its sleep.
    void notify();
    // Milliseconds until the earliest running timer is due: 0 when one is
    // overdue, at most 60,000.
    int getSleepTime();
    // Waits ms milliseconds or until notify() is called.
    void sleep(int ms);
    // One pass of the loop: fires, in registration order, every running timer
    // due less than 3 ms after `now`, and sets its next wake-up one period
    // after `now`. The list is not locked while a timer works, so a go() may
    // create, start, stop and delete timers (see teskTimer).
    void fireDueTimers(time now);

    static time getCurrentTime();
    // Milliseconds from b to a; negative when a is earlier.
    static int64_t compareTime(time a, time b);
    static time addTime(time a, time b);
    static time addTimeMs(time t, int64_t ms);
    static timespec timeToTimeSpec(time t);
    // "secs.ms", the milliseconds not zero-padded.
    static std::string timeToString(time t);
    static int64_t timeToMs(time t) { return t.secs * 1000 + t.ms; }
    static time msToTime(int64_t ms);

protected:
    void run() override;

private:
    void waitForNotify(int ms, uint64_t seen);
    uint64_t notifications();

    // Held for a whole pass: passes never overlap, also when a caller runs
    // one beside the thread's own loop.
    std::mutex passMutex_;
    // Guards the timer list and the firing state.
    std::mutex listMutex_;
    std::list<teskTimer*> timers_;
    teskTimer* firing_ = nullptr;    // the timer whose internalGo() runs now
    pthread_t firingThread_{};       // the thread that runs it
    bool firingRemoved_ = false;     // it was removed from within its own go()
    std::condition_variable firingDone_;

    // Guards the wake-up count and the end request; held only around waits.
    std::mutex condMutex_;
    std::condition_variable wake_;
    uint64_t notifications_ = 0;
    bool quit_ = false;
};
