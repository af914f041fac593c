#include "util/Clock.h"

#include <atomic>

namespace {
std::atomic<bool> pinned{false};
std::atomic<time_t> pinnedInstant{0};
}  // namespace

time_t Clock::now() { return pinned.load() ? pinnedInstant.load() : std::time(nullptr); }

struct tm Clock::localNow() {
    time_t t = now();
    struct tm local {};
    localtime_r(&t, &local);
    return local;
}

void Clock::pin(time_t instant) {
    pinnedInstant = instant;
    pinned = true;
}

void Clock::unpin() { pinned = false; }
