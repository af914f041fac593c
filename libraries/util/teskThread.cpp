#include "util/teskThread.h"

#include <exception>
#include <iostream>

bool teskThread::start() {
    if (started_) {
        return false;
    }
    if (pthread_create(&thread_, nullptr, teskThreadRun, this) != 0) {
        std::cerr << "teskThread: couldn't create thread" << std::endl;
        return false;
    }
    started_ = true;
    return true;
}

void teskThread::join() {
    if (started_) {
        pthread_join(thread_, nullptr);
    }
    started_ = false;
}

void* teskThreadRun(void* self) {
    if (self == nullptr) {
        return nullptr;
    }
    auto* thread = static_cast<teskThread*>(self);
    thread->prepare();
    try {
        thread->run();
    } catch (const std::exception& e) {
        std::cerr << "teskThread: exception escaped run() [" << e.what() << "]" << std::endl;
    } catch (...) {
        std::cerr << "teskThread: unknown exception escaped run()" << std::endl;
    }
    thread->cleanup();
    return nullptr;
}

namespace {
thread_local AutoreleasePool* currentPool = nullptr;
}

AutoreleasePool::AutoreleasePool() : previous_(currentPool) { currentPool = this; }

AutoreleasePool::~AutoreleasePool() {
    for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
        (*it)();
    }
    currentPool = previous_;
}

void AutoreleasePool::defer(std::function<void()> release) { pending_.push_back(std::move(release)); }

AutoreleasePool* AutoreleasePool::current() { return currentPool; }

void teskObjcThread::prepare() { pool_ = std::make_unique<AutoreleasePool>(); }

void teskObjcThread::cleanup() { pool_.reset(); }

teskMutex::teskMutex() { pthread_mutex_init(&mutex_, nullptr); }

teskMutex::~teskMutex() {
    if (pthread_mutex_destroy(&mutex_) != 0) {
        std::cout << "teskThread: couldn't destoy mutex, could be locked..." << std::endl;
    }
}

int teskMutex::lock() { return pthread_mutex_lock(&mutex_); }

int teskMutex::unlock() { return pthread_mutex_unlock(&mutex_); }
