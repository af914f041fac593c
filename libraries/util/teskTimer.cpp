#include "util/teskTimer.h"

#include <cstdlib>
#include <iostream>

namespace {
// The temp thread whose run is in progress on the calling thread, if any.
thread_local const teskTimerTempThread* currentTempThread = nullptr;
}  // namespace

bool teskTimerTempThread::isCurrentThread() const { return currentTempThread == this; }

void teskTimerTempThread::run() {
    if (owner_ == nullptr) return;
    currentTempThread = this;
    owner_->go();
    currentTempThread = nullptr;
}

teskTimer::teskTimer(const std::string& name, int sleepMs, bool useThread, teskTimerThread* parent)
    : name_(name),
      sleepMs_(sleepMs),
      useThread_(useThread),
      parent_(parent ? parent : teskTimerThread::getTimerThreadInstance()) {
    if (useThread_) thread_ = std::make_unique<teskTimerTempThread>(this);
    parent_->addTimer(this);
}

teskTimer::~teskTimer() { shutdown(); }

void teskTimer::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    running_ = false;
    if (thread_ && thread_->isCurrentThread()) {
        // The timer thread may be joining this very run: waiting here would
        // never end, and going on would free a running thread.
        std::cerr << "teskTimer: \"" << name_ << "\" deleted from its own go() on its own thread" << std::endl;
        std::abort();
    }
    parent_->removeTimer(this);
    if (thread_) thread_->join();
}

void teskTimer::start() {
    // The wake-up is set before the timer counts as running, so the timer
    // thread never sees it running with an old wake-up time.
    reset(teskTimerThread::getCurrentTime());
    running_ = true;
    parent_->notify();
}

void teskTimer::stop() { running_ = false; }

void teskTimer::internalGo() {
    // The go() about to begin serves every wake-up asked for so far; one
    // asked for from here on calls for another.
    if (useThread_) {
        thread_->join();
        wakeupAsked_ = false;
        thread_->start();
    } else {
        wakeupAsked_ = false;
        go();  // nothing of this object is touched afterwards: go() may delete it
    }
}

void teskTimer::reset(teskTimerThread::time t) {
    wakeupMs_ = teskTimerThread::timeToMs(teskTimerThread::addTimeMs(t, sleepMs_.load()));
}

teskTimerThread::time teskTimer::getWakeupTime() const { return teskTimerThread::msToTime(wakeupMs_.load()); }

bool teskTimer::isRunning() const { return running_.load(); }

void teskTimer::setSleepMs(int ms) {
    sleepMs_ = ms;
    if (running_.load()) parent_->notify();
}

void teskTimer::wakeupNow() {
    if (!running_.load()) return;
    // Once the wake-up time is stored the timer may fire at once, and its
    // go() may delete it: what is needed afterwards is read before.
    teskTimerThread* const parent = parent_;
    wakeupAsked_ = true;
    wakeupMs_ = teskTimerThread::timeToMs(teskTimerThread::getCurrentTime());
    parent->notify();  // the thread outlives its timers
}
