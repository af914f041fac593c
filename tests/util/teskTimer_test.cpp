#include "util/teskTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using Time = teskTimerThread::time;
using namespace std::chrono_literals;

namespace {

// Counts its runs and lets a test wait for a number of them.
class CountingTimer : public teskTimer {
public:
    CountingTimer(const std::string& name, int sleepMs, bool useThread, teskTimerThread* parent,
                  std::function<void()> work = {})
        : teskTimer(name, sleepMs, useThread, parent), work_(std::move(work)) {}
    ~CountingTimer() override { shutdown(); }

    int count() const { return count_.load(); }
    bool waitForCount(int n) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return count_.load() >= n; });
    }

protected:
    void go() override {
        if (work_) work_();
        std::lock_guard<std::mutex> lock(mutex_);
        ++count_;
        changed_.notify_all();
    }

private:
    std::function<void()> work_;
    std::atomic<int> count_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
};

// Runs a function and touches nothing of itself afterwards, so the function
// may delete the timer.
class FunctionTimer : public teskTimer {
public:
    FunctionTimer(const std::string& name, teskTimerThread* parent, std::function<void()> work)
        : teskTimer(name, 3600 * 1000, false, parent), work_(std::move(work)) {}
    ~FunctionTimer() override { shutdown(); }

protected:
    void go() override {
        auto work = work_;  // a copy: deleting the timer destroys work_
        work();
    }

private:
    std::function<void()> work_;
};

// A one-way gate between threads.
class Gate {
public:
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    bool wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, 10s, [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

constexpr Time kT0{1700000000, 500};

}  // namespace

TEST(TimerTime, Arithmetic) {
    EXPECT_EQ(teskTimerThread::compareTime({10, 200}, {9, 900}), 300);
    EXPECT_EQ(teskTimerThread::compareTime({9, 900}, {10, 200}), -300);

    Time sum = teskTimerThread::addTime({5, 700}, {1, 600});
    EXPECT_EQ(sum.secs, 7);
    EXPECT_EQ(sum.ms, 300);
    Time later = teskTimerThread::addTimeMs({5, 700}, 2500);  // carries more than one second
    EXPECT_EQ(later.secs, 8);
    EXPECT_EQ(later.ms, 200);
    Time earlier = teskTimerThread::addTimeMs({5, 100}, -250);
    EXPECT_EQ(earlier.secs, 4);
    EXPECT_EQ(earlier.ms, 850);

    // Seconds past 2038 do not wrap.
    Time far = teskTimerThread::addTimeMs({4102444800, 0}, 225000);
    EXPECT_EQ(far.secs, 4102445025);
    EXPECT_EQ(teskTimerThread::compareTime(far, {4102444800, 0}), 225000);

    timespec ts = teskTimerThread::timeToTimeSpec({12, 34});
    EXPECT_EQ(ts.tv_sec, 12);
    EXPECT_EQ(ts.tv_nsec, 34000000);
    EXPECT_EQ(teskTimerThread::timeToString({12, 7}), "12.7");

    Time now = teskTimerThread::getCurrentTime();
    EXPECT_GE(now.ms, 0);
    EXPECT_LE(now.ms, 999);
    EXPECT_GT(now.secs, 1600000000);
}

// The pass on a timer thread that is not started: the test is the clock.
TEST(TimerPass, FiresDueTimersAndAdvancesFromThePass) {
    teskTimerThread thread;
    CountingTimer a("a", 1000, false, &thread);
    CountingTimer stopped("stopped", 1000, false, &thread);
    EXPECT_FALSE(a.isRunning());
    EXPECT_EQ(a.getName(), "a");
    a.start();
    a.reset(kT0);  // due at kT0 + 1000 ms

    thread.fireDueTimers(teskTimerThread::addTimeMs(kT0, 997));  // 3 ms away: waits
    EXPECT_EQ(a.count(), 0);
    const Time pass = teskTimerThread::addTimeMs(kT0, 998);  // 2 ms away: fires
    thread.fireDueTimers(pass);
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(teskTimerThread::compareTime(a.getWakeupTime(), pass), 1000);

    // Overdue timers fire once per pass; stopped ones never.
    thread.fireDueTimers(teskTimerThread::addTimeMs(kT0, 60000));
    EXPECT_EQ(a.count(), 2);
    EXPECT_EQ(stopped.count(), 0);
    a.stop();
    thread.fireDueTimers(teskTimerThread::addTimeMs(kT0, 120000));
    EXPECT_EQ(a.count(), 2);
}

TEST(TimerPass, SleepTimeAndRetuning) {
    teskTimerThread thread;
    EXPECT_EQ(thread.getSleepTime(), 60000);  // nothing running: the longest sleep
    CountingTimer a("a", 500, false, &thread);
    EXPECT_EQ(thread.getSleepTime(), 60000);
    a.start();
    int sleep = thread.getSleepTime();
    EXPECT_GT(sleep, 0);
    EXPECT_LE(sleep, 500);

    // A new period leaves the pending wake-up alone; it counts from the next reset.
    const Time pending = a.getWakeupTime();
    a.setSleepMs(90000);
    EXPECT_EQ(teskTimerThread::compareTime(a.getWakeupTime(), pending), 0);
    a.reset(kT0);
    EXPECT_EQ(teskTimerThread::compareTime(a.getWakeupTime(), kT0), 90000);

    // wakeupNow makes it due at once; on a stopped timer it does nothing.
    a.wakeupNow();
    EXPECT_EQ(thread.getSleepTime(), 0);
    thread.fireDueTimers(teskTimerThread::getCurrentTime());
    EXPECT_EQ(a.count(), 1);
    a.stop();
    a.reset(kT0);
    a.wakeupNow();
    EXPECT_EQ(teskTimerThread::compareTime(a.getWakeupTime(), kT0), 90000);
    EXPECT_EQ(thread.getSleepTime(), 60000);
}

// The pass on a timer thread that is not started: a wake-up asked for while
// a go() runs keeps the timer due; without one the period counts from the pass.
TEST(TimerPass, AWakeUpAskedForDuringGoKeepsTheTimerDue) {
    teskTimerThread thread;
    CountingTimer* self = nullptr;
    std::atomic<bool> askAgain{true};
    CountingTimer timer("again", 1000, false, &thread, [&] {
        if (askAgain.exchange(false)) self->wakeupNow();
    });
    self = &timer;
    timer.start();
    timer.wakeupNow();
    const Time pass = teskTimerThread::getCurrentTime();
    thread.fireDueTimers(pass);
    EXPECT_EQ(timer.count(), 1);
    EXPECT_LE(teskTimerThread::compareTime(timer.getWakeupTime(), teskTimerThread::getCurrentTime()), 0);
    EXPECT_EQ(thread.getSleepTime(), 0);
    const Time second = teskTimerThread::addTimeMs(teskTimerThread::getCurrentTime(), 2);
    thread.fireDueTimers(second);
    EXPECT_EQ(timer.count(), 2);
    EXPECT_EQ(teskTimerThread::compareTime(timer.getWakeupTime(), second), 1000);
}

TEST(TimerThread, AWakeUpAskedForWhileGoRunsIsNeverLost) {
    for (bool useThread : {false, true}) {
        SCOPED_TRACE(useThread ? "own thread" : "timer thread");
        teskTimerThread thread;
        thread.start();
        Gate entered, release;
        std::atomic<int> runs{0};
        CountingTimer timer("latched", 3600 * 1000, useThread, &thread, [&] {
            if (++runs > 1) return;
            entered.open();
            release.wait();
        });
        timer.start();
        timer.wakeupNow();
        ASSERT_TRUE(entered.wait());
        timer.wakeupNow();  // the first go() is still running
        release.open();
        EXPECT_TRUE(timer.waitForCount(2));
        timer.shutdown();
        EXPECT_EQ(runs.load(), 2);  // the hour-long period holds after that
    }
}

TEST(TimerThread, FiresRepeatedlyAndWakesForNewTimers) {
    teskTimerThread thread;
    thread.start();
    // The thread is asleep for up to a minute with nothing to do; starting a
    // timer must cut that sleep short.
    std::this_thread::sleep_for(20ms);
    CountingTimer fast("fast", 5, false, &thread);
    fast.start();
    EXPECT_TRUE(fast.waitForCount(3));
    CountingTimer own("own", 5, true, &thread);
    own.start();
    EXPECT_TRUE(own.waitForCount(3));

    // wakeupNow on a long period fires at the next pass.
    CountingTimer slow("slow", 3600 * 1000, false, &thread);
    slow.start();
    slow.wakeupNow();
    EXPECT_TRUE(slow.waitForCount(1));
}

TEST(TimerThread, DeletingWaitsForAGoInProgress) {
    for (bool useThread : {false, true}) {
        teskTimerThread thread;
        thread.start();
        Gate entered, release;
        std::atomic<bool> finished{false};
        auto timer = std::make_unique<CountingTimer>("busy", 3600 * 1000, useThread, &thread, [&] {
            entered.open();
            release.wait();
            finished = true;
        });
        timer->start();
        timer->wakeupNow();
        ASSERT_TRUE(entered.wait());
        std::atomic<bool> finishedWhenDeleted{false};
        std::thread deleter([&] {
            timer.reset();
            finishedWhenDeleted = finished.load();
        });
        std::this_thread::sleep_for(20ms);  // give the deleter time to reach the wait
        release.open();
        deleter.join();
        EXPECT_TRUE(finishedWhenDeleted) << "useThread " << useThread;
    }
}

TEST(TimerThread, RunsOfOneOwnThreadTimerNeverOverlap) {
    teskTimerThread thread;
    thread.start();
    std::atomic<int> inside{0}, most{0};
    CountingTimer timer("overlap", 1, true, &thread, [&] {
        int now = ++inside;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(3ms);
        --inside;
    });
    timer.start();
    EXPECT_TRUE(timer.waitForCount(5));
    timer.shutdown();
    EXPECT_EQ(most.load(), 1);
    const int count = timer.count();
    timer.start();  // a shut-down timer stays off its thread
    thread.fireDueTimers(teskTimerThread::addTimeMs(teskTimerThread::getCurrentTime(), 10000));
    EXPECT_EQ(timer.count(), count);
}

TEST(TimerThread, GoMayCreateAndDeleteTimers) {
    teskTimerThread thread;
    thread.start();
    auto victim = std::make_unique<CountingTimer>("victim", 3600 * 1000, true, &thread);
    std::unique_ptr<CountingTimer> created;
    FunctionTimer* self = nullptr;
    Gate done;
    auto* creator = new FunctionTimer("creator", &thread, [&] {
        created = std::make_unique<CountingTimer>("created", 3600 * 1000, false, &thread);
        created->start();
        created->wakeupNow();
        victim.reset();
        delete self;  // a go() on the timer thread may delete its own timer
        done.open();
    });
    self = creator;
    creator->start();
    creator->wakeupNow();
    ASSERT_TRUE(done.wait());
    EXPECT_TRUE(created->waitForCount(1));
    EXPECT_EQ(victim, nullptr);
}

TEST(TimerThread, TimersComeAndGoWhileFiring) {
    // Timers destroyed while they fire every millisecond: the subclass's
    // shutdown() keeps go() off the half-destroyed object.
    teskTimerThread thread;
    thread.start();
    for (int i = 0; i < 50; ++i) {
        CountingTimer a("a", 1, false, &thread);
        CountingTimer b("b", 1, true, &thread);
        a.start();
        b.start();
        std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 5)));
    }
    CountingTimer last("last", 1, false, &thread);
    last.start();
    EXPECT_TRUE(last.waitForCount(2));
}

TEST(TimerThread, SingletonIsMadeOnceAndFires) {
    std::vector<teskTimerThread*> seen(8);
    std::vector<std::thread> askers;
    for (size_t i = 0; i < seen.size(); ++i) {
        askers.emplace_back([&seen, i] { seen[i] = teskTimerThread::getTimerThreadInstance(); });
    }
    for (auto& t : askers) t.join();
    for (auto* instance : seen) EXPECT_EQ(instance, seen[0]);
    ASSERT_NE(seen[0], nullptr);

    CountingTimer timer("singleton", 5, false, nullptr);
    timer.start();
    EXPECT_TRUE(timer.waitForCount(2));
    // The process ends with the singleton still running.
}

TEST(TimerThreadDeathTest, DeletingItselfOnItsOwnThreadStopsWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            teskTimerThread thread;
            thread.start();
            CountingTimer* self = nullptr;
            self = new CountingTimer("selfish", 1, true, &thread, [&] { delete self; });
            self->start();
            std::this_thread::sleep_for(10s);
        },
        "\"selfish\" deleted from its own go\\(\\) on its own thread");
}
