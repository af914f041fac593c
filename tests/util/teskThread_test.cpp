#include "util/teskThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "support/CaptureStream.h"

namespace {

class RecordingThread : public teskObjcThread {
public:
    std::string steps;
    pthread_t prepareThread{}, runThread{}, cleanupThread{};
    bool poolDuringRun = false;
    bool deferredRan = false;

protected:
    void prepare() override {
        teskObjcThread::prepare();
        prepareThread = pthread_self();
        steps += "p";
    }
    void run() override {
        runThread = pthread_self();
        poolDuringRun = pool() != nullptr && AutoreleasePool::current() == pool();
        AutoreleasePool::current()->defer([this] { deferredRan = true; });
        steps += "r";
    }
    void cleanup() override {
        cleanupThread = pthread_self();
        steps += "c";
        teskObjcThread::cleanup();
    }
};

class ThrowingThread : public teskThread {
public:
    std::atomic<bool> cleanedUp{false};

protected:
    void run() override { throw std::runtime_error("boom"); }
    void cleanup() override { cleanedUp = true; }
};

}  // namespace

TEST(Thread, RunsPrepareRunCleanupOnOneThreadAndCanRestart) {
    RecordingThread t;
    ASSERT_TRUE(t.start());
    EXPECT_FALSE(t.start());  // already started: no second thread
    t.join();
    EXPECT_EQ(t.steps, "prc");
    EXPECT_TRUE(pthread_equal(t.prepareThread, t.runThread));
    EXPECT_TRUE(pthread_equal(t.runThread, t.cleanupThread));
    EXPECT_FALSE(pthread_equal(t.runThread, pthread_self()));
    EXPECT_TRUE(t.poolDuringRun);
    EXPECT_TRUE(t.deferredRan);
    EXPECT_EQ(AutoreleasePool::current(), nullptr);

    ASSERT_TRUE(t.start());
    t.join();
    EXPECT_EQ(t.steps, "prcprc");
}

TEST(Thread, JoinWithoutStartReturnsAtOnce) {
    RecordingThread t;
    t.join();
    EXPECT_FALSE(t.isStarted());
    EXPECT_EQ(t.steps, "");
}

TEST(Thread, ExceptionFromRunIsLoggedNotFatal) {
    CaptureStderr err;
    ThrowingThread t;
    ASSERT_TRUE(t.start());
    t.join();
    EXPECT_TRUE(t.cleanedUp);
    EXPECT_NE(err.text().find("boom"), std::string::npos);
    EXPECT_EQ(teskThreadRun(nullptr), nullptr);
}

TEST(Thread, MutexGuardsSharedCounter) {
    teskMutex mutex;
    long counter = 0;
    struct Adder : teskThread {
        teskMutex* m;
        long* c;
        void run() override {
            for (int i = 0; i < 10000; ++i) {
                m->lock();
                ++*c;
                m->unlock();
            }
        }
    } a, b;
    a.m = b.m = &mutex;
    a.c = b.c = &counter;
    a.start();
    b.start();
    a.join();
    b.join();
    EXPECT_EQ(counter, 20000);
    EXPECT_NE(mutex.getMutex(), nullptr);
}
