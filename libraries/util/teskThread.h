#pragma once
// Joinable worker threads and the plain mutex the rest of the system shares.

#include <pthread.h>

#include <functional>
#include <memory>
#include <vector>

// A joinable thread: start() runs prepare(), run() and cleanup() on a new
// thread; the owner calls join() before deleting the object.
class teskThread {
public:
    teskThread() = default;
    teskThread(const teskThread&) = delete;
    teskThread& operator=(const teskThread&) = delete;
    // Owners join before deleting: the destructor does not wait.
    virtual ~teskThread() = default;

    // Starts the thread. False when it is already started or when the system
    // refused to create a thread.
    bool start();
    // Waits for a started thread to end; returns at once otherwise. The thread
    // may be started again afterwards.
    virtual void join();

    bool isStarted() const { return started_; }

protected:
    virtual void run() = 0;
    virtual void prepare() {}
    virtual void cleanup() {}

private:
    friend void* teskThreadRun(void* self);
    pthread_t thread_{};
    bool started_ = false;
};

// The thread entry: prepare(), run() and cleanup() of the thread object.
// An exception escaping run() is logged instead of ending the process.
void* teskThreadRun(void* self);

// Work deferred to the end of one thread run: the thread's release pool.
// A pool is current on the thread that created it until it is drained.
class AutoreleasePool {
public:
    AutoreleasePool();
    ~AutoreleasePool();  // runs the deferred work in reverse order
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

    void defer(std::function<void()> release);
    // The pool of the calling thread, or null when it has none.
    static AutoreleasePool* current();

private:
    std::vector<std::function<void()>> pending_;
    AutoreleasePool* previous_;
};

// A thread that holds a release pool for exactly the span of one run.
class teskObjcThread : public teskThread {
protected:
    void prepare() override;
    void cleanup() override;
    AutoreleasePool* pool() const { return pool_.get(); }

private:
    std::unique_ptr<AutoreleasePool> pool_;
};

// A POSIX mutex with default (non-recursive) attributes.
class teskMutex {
public:
    teskMutex();
    ~teskMutex();
    teskMutex(const teskMutex&) = delete;
    teskMutex& operator=(const teskMutex&) = delete;

    int lock();
    int unlock();
    pthread_mutex_t* getMutex() { return &mutex_; }

private:
    pthread_mutex_t mutex_;
};
