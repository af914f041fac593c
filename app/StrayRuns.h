#pragma once
// Refresh timers whose run was still busy when their controller went away (a
// scraper thread can compute for long on a hostile page). Each is deleted on
// a thread of its own once its run has ended; the run keeps what it works
// with alive meanwhile and has stopped calling its controller. What such a
// run still reaches of the application core (the location guard, the proxy
// settings) is why the core waits for them before it goes away, and why the
// program, when they outlast its stop, ends without running destructors.

#include <chrono>
#include <cstddef>
#include <memory>

class RefreshTimer;

namespace StrayRuns {

// How long a stop waits for the threads of a refresh before it leaves them.
inline constexpr std::chrono::milliseconds kStopGrace{1500};

// Takes a timer whose controller was released (RefreshTimer::releaseController).
void adopt(std::unique_ptr<RefreshTimer> timer);
// How many adopted timers have not been deleted yet.
std::size_t count();
// Waits until every adopted timer is deleted, at most until `deadline`;
// false when some remain.
bool waitUntilNone(std::chrono::steady_clock::time_point deadline);
// Waits for as long as it takes.
void waitUntilNone();
// Ends the process at once with `status`: the calling thread's log lines and
// the standard streams are flushed, and no destructor runs, since busy
// refresh threads still use what they would free.
[[noreturn]] void endProcess(int status);

}  // namespace StrayRuns
