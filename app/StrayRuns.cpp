#include "app/StrayRuns.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/RefreshTimer.h"
#include "util/LogLines.h"

namespace {

struct Registry {
    std::mutex mutex;
    std::condition_variable none;
    std::size_t live = 0;
};

// Never destroyed: a reaping thread may still be finishing when the process ends.
Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

}  // namespace

namespace StrayRuns {

void adopt(std::unique_ptr<RefreshTimer> timer) {
    if (!timer) return;
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        ++r.live;
    }
    auto reap = [held = std::make_shared<std::unique_ptr<RefreshTimer>>(std::move(timer))] {
        held->reset();
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (--r.live == 0) r.none.notify_all();
    };
    // Deleting the timer waits for its run; that wait is this thread's alone.
    try {
        std::thread(reap).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the caller waits, as it would have without one.
        reap();
    }
}

std::size_t count() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.live;
}

bool waitUntilNone(std::chrono::steady_clock::time_point deadline) {
    Registry& r = registry();
    std::unique_lock<std::mutex> lock(r.mutex);
    return r.none.wait_until(lock, deadline, [&r] { return r.live == 0; });
}

void waitUntilNone() {
    Registry& r = registry();
    std::unique_lock<std::mutex> lock(r.mutex);
    r.none.wait(lock, [&r] { return r.live == 0; });
}

void endProcess(int status) {
    LogLines::flushThisThread();
    std::fflush(nullptr);
    ::_exit(status);
}

}  // namespace StrayRuns
