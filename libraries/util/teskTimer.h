#pragma once
// Named periodic timers. A timer's go() runs on the timer thread, or with
// useThread on a short-lived thread of the timer's own, so that long work
// does not hold up the other timers (a run is joined before the next starts,
// so the runs of one timer never overlap).
//
// What a go() may do: create, start, stop, retune and delete timers. A go()
// on the timer thread may even delete its own timer (it must then not touch
// its object afterwards). A go() on a timer's own thread must not delete or
// shut down its own timer: that would wait for itself, and the process is
// stopped with a message instead. Nor may two timers' go()s delete each
// other at the same time: each would wait for the other to return.
//
// Subclasses call shutdown() first thing in their destructor, so that no
// go() can run on a half-destroyed object.

#include <atomic>
#include <memory>
#include <string>

#include "util/teskThread.h"
#include "util/teskTimerThread.h"

class teskTimer;

// The short-lived thread of a useThread timer: run() calls the owner's go().
class teskTimerTempThread : public teskObjcThread {
public:
    explicit teskTimerTempThread(teskTimer* owner) : owner_(owner) {}
    // True when called from within this thread's run.
    bool isCurrentThread() const;

protected:
    void run() override;

private:
    teskTimer* owner_;
};

class teskTimer {
public:
    // Registers a stopped timer with the timer thread (the process-wide one
    // unless another is given). sleepMs is the period in milliseconds.
    teskTimer(const std::string& name, int sleepMs, bool useThread, teskTimerThread* parent = nullptr);
    teskTimer(const teskTimer&) = delete;
    teskTimer& operator=(const teskTimer&) = delete;
    // Shuts the timer down (see shutdown()).
    virtual ~teskTimer();

    // Runs the timer; the first go() comes one period from now.
    virtual void start();
    // Stops the timer; a go() in progress finishes.
    virtual void stop();
    // Runs go(): directly, or after joining the previous run on the own thread.
    virtual void internalGo();

protected:
    // The timer's work.
    virtual void go() = 0;

public:
    // The next wake-up becomes t plus the period.
    virtual void reset(teskTimerThread::time t);
    virtual teskTimerThread::time getWakeupTime() const;
    virtual bool isRunning() const;
    // A new period, counted from the next reset; the pending wake-up stays.
    virtual void setSleepMs(int ms);
    // A running timer fires at the next pass. Asked for while its go() runs,
    // it fires again once that go() has returned. Nothing of the timer is
    // touched after the wake-up is published, so the go() it starts may
    // delete the timer meanwhile.
    virtual void wakeupNow();

    // Stops the timer, takes it off the timer thread (waiting for a go() in
    // progress there) and joins its own thread (waiting for a go() in
    // progress on it). Afterwards go() never runs again. Called by the owner;
    // calling it again does nothing.
    void shutdown();

    const std::string& getName() const { return name_; }
    int getSleepMs() const { return sleepMs_.load(); }

private:
    friend class teskTimerThread;
    friend class teskTimerTempThread;

    std::string name_;
    std::atomic<int> sleepMs_;
    std::atomic<bool> running_{false};
    bool useThread_;
    teskTimerThread* parent_;
    std::atomic<int64_t> wakeupMs_{0};  // the wake-up time in milliseconds since 1970
    // A wake-up was asked for since the last go() began: the pass that ends
    // that go() keeps the timer due instead of setting the next period.
    std::atomic<bool> wakeupAsked_{false};
    std::unique_ptr<teskTimerTempThread> thread_;
    bool shutDown_ = false;
};
