#pragma once
// Notices the machine going to sleep and waking up: logind's PrepareForSleep
// signal on the system bus. The handler runs on the main loop of the thread
// that made the watcher, with true before sleep and false after wake. Without
// a system bus the watcher logs that once per program and stays idle.

#include <functional>
#include <memory>
#include <string>

class SleepWatcher {
public:
    using Handler = std::function<void(bool goingToSleep)>;

    // busAddress "" means the system bus; tests name a bus of their own.
    explicit SleepWatcher(Handler handler, const std::string& busAddress = "");
    ~SleepWatcher();
    SleepWatcher(const SleepWatcher&) = delete;
    SleepWatcher& operator=(const SleepWatcher&) = delete;

    bool isWatching() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
