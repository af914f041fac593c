#pragma once
// The wall clock every date, time-zone and daylight-saving computation reads,
// so tests can pin "now".

#include <ctime>

namespace Clock {

// Seconds since 1970, from the system clock unless pinned.
time_t now();
// Local broken-down time of now() (thread-safe).
struct tm localNow();

// Pins now() to a fixed instant; unpin() returns to the system clock.
void pin(time_t instant);
void unpin();

}  // namespace Clock
