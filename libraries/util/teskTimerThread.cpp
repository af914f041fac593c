#include "util/teskTimerThread.h"

#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "util/teskTimer.h"

namespace {
// The longest sleep: the thread looks at its timers at least this often.
constexpr int kMaxSleepMs = 60000;
// Timers due less than this many milliseconds from now fire in this pass.
constexpr int64_t kFireWindowMs = 3;
}  // namespace

teskTimerThread* teskTimerThread::getTimerThreadInstance() {
    // Made once, also when several threads ask first at the same time; never
    // deleted, so no timer can outlive it.
    static teskTimerThread* const instance = [] {
        auto* thread = new teskTimerThread();
        thread->start();
        return thread;
    }();
    return instance;
}

teskTimerThread::teskTimerThread() = default;

teskTimerThread::~teskTimerThread() {
    {
        std::lock_guard<std::mutex> lock(condMutex_);
        quit_ = true;
    }
    wake_.notify_all();
    join();
}

void teskTimerThread::addTimer(teskTimer* timer) {
    {
        std::lock_guard<std::mutex> lock(listMutex_);
        timers_.push_back(timer);
    }
    if (timer->running_.load()) notify();
}

void teskTimerThread::removeTimer(teskTimer* timer) {
    {
        std::unique_lock<std::mutex> lock(listMutex_);
        timers_.remove(timer);
        if (firing_ == timer) {
            if (pthread_equal(firingThread_, pthread_self())) {
                // Its own go() removes it: the pass must not touch it again.
                firingRemoved_ = true;
            } else {
                firingDone_.wait(lock, [&] { return firing_ != timer; });
            }
        }
    }
    notify();
}

void teskTimerThread::notify() {
    {
        std::lock_guard<std::mutex> lock(condMutex_);
        ++notifications_;
    }
    wake_.notify_all();
}

uint64_t teskTimerThread::notifications() {
    std::lock_guard<std::mutex> lock(condMutex_);
    return notifications_;
}

int teskTimerThread::getSleepTime() {
    int64_t result = kMaxSleepMs;
    const int64_t now = timeToMs(getCurrentTime());
    std::lock_guard<std::mutex> lock(listMutex_);
    for (const teskTimer* timer : timers_) {
        if (!timer->running_.load()) continue;
        const int64_t d = timer->wakeupMs_.load() - now;
        if (d < 0) return 0;
        result = std::min(result, d);
    }
    return static_cast<int>(result);
}

void teskTimerThread::sleep(int ms) { waitForNotify(ms, notifications()); }

void teskTimerThread::waitForNotify(int ms, uint64_t seen) {
    const auto deadline = std::chrono::system_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    std::unique_lock<std::mutex> lock(condMutex_);
    wake_.wait_until(lock, deadline, [&] { return quit_ || notifications_ != seen; });
}

void teskTimerThread::run() {
    for (;;) {
        // The count is read before the sleep is computed, so a timer started
        // in between still cuts the wait short.
        uint64_t seen;
        {
            std::lock_guard<std::mutex> lock(condMutex_);
            if (quit_) return;
            seen = notifications_;
        }
        waitForNotify(getSleepTime(), seen);
        {
            std::lock_guard<std::mutex> lock(condMutex_);
            if (quit_) return;
        }
        fireDueTimers(getCurrentTime());
    }
}

void teskTimerThread::fireDueTimers(time now) {
    const int64_t nowMs = timeToMs(now);
    std::lock_guard<std::mutex> pass(passMutex_);
    std::unique_lock<std::mutex> lock(listMutex_);
    std::vector<teskTimer*> due;
    for (teskTimer* timer : timers_) {
        if (timer->running_.load() && timer->wakeupMs_.load() - nowMs < kFireWindowMs) due.push_back(timer);
    }
    for (teskTimer* timer : due) {
        // An earlier go() of this pass may have stopped or deleted it.
        if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end() || !timer->running_.load()) {
            continue;
        }
        firing_ = timer;
        firingThread_ = pthread_self();
        firingRemoved_ = false;
        // The list is free while the timer works: its go() may create and
        // delete timers; removeTimer() waits for firing_ to change instead.
        lock.unlock();
        timer->internalGo();
        lock.lock();
        if (!firingRemoved_) {
            timer->reset(now);
            // A wake-up asked for while the work ran stays due. The flag is
            // read after the reset: a wakeupNow() that sets it later stores
            // its wake-up time after the reset too.
            if (timer->wakeupAsked_.exchange(false)) timer->wakeupMs_ = timeToMs(getCurrentTime());
        }
        firing_ = nullptr;
        firingDone_.notify_all();
    }
}

teskTimerThread::time teskTimerThread::getCurrentTime() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return {static_cast<int64_t>(tv.tv_sec), static_cast<int>(tv.tv_usec / 1000)};
}

int64_t teskTimerThread::compareTime(time a, time b) { return (a.secs - b.secs) * 1000 + (a.ms - b.ms); }

teskTimerThread::time teskTimerThread::msToTime(int64_t ms) {
    // Floor division, so times before 1970 and negative sums stay 0..999 ms.
    int64_t secs = ms / 1000;
    int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --secs;
    }
    return {secs, static_cast<int>(rest)};
}

teskTimerThread::time teskTimerThread::addTime(time a, time b) {
    time sum = msToTime(static_cast<int64_t>(a.ms) + b.ms);
    sum.secs += a.secs + b.secs;
    return sum;
}

teskTimerThread::time teskTimerThread::addTimeMs(time t, int64_t ms) { return msToTime(timeToMs(t) + ms); }

timespec teskTimerThread::timeToTimeSpec(time t) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(t.secs);
    ts.tv_nsec = static_cast<long>(t.ms) * 1000000L;
    return ts;
}

std::string teskTimerThread::timeToString(time t) {
    char text[48];
    std::snprintf(text, sizeof text, "%" PRId64 ".%d", t.secs, t.ms);
    return text;
}
