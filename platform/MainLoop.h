#pragma once
// The main thread's event loop (GLib's default main context), its timers,
// and the channels that carry calls from worker threads to main-thread
// objects.
//
// Workers never wait on the main thread: a post returns at once and the call
// runs later on the main thread, in the order of posting (one queue for all
// channels). Each channel carries a liveness token; once its owner closes it
// (at teardown), calls still queued and later posts are dropped. A post made
// on the main thread runs at once.

#include <atomic>
#include <functional>
#include <memory>

class MainLoop {
public:
    // The loop; the thread that calls this first is the main thread (the
    // program's main() does so before it starts any thread).
    static MainLoop& instance();

    bool isMainThread() const;

    // Runs the loop until quit() (which any thread may call).
    void run();
    void quit();
    // Handles what is pending; with mayBlock waits for at least one event.
    // True when something was handled.
    bool iterate(bool mayBlock);
    // Runs the loop until done() holds or timeoutMs have passed; whether done() held.
    bool runUntil(const std::function<bool()>& done, int timeoutMs);

    // Calls action on the main thread after intervalMs, again every intervalMs
    // while it returns true. The timer's id, for removeTimer.
    unsigned addTimer(unsigned intervalMs, std::function<bool()> action);
    void removeTimer(unsigned id);

    // Calls action on the main thread when the program is asked to end by a
    // signal (SIGTERM at logout, SIGINT, SIGHUP), instead of dying mid-way.
    void onTerminationSignal(std::function<void()> action);

    // The GMainContext, for the platform's own event sources.
    void* context() const;

private:
    MainLoop();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A copyable handle that posts to a channel; safe to use from any thread and
// after the channel is gone (the posts are then dropped).
class MainThreadPoster {
public:
    MainThreadPoster() = default;
    // Runs call on the main thread unless the channel is closed by then.
    // False when the channel was already closed (the call is dropped).
    bool post(std::function<void()> call) const;
    bool isOpen() const { return alive_ && alive_->load(); }

private:
    friend class MainThreadChannel;
    explicit MainThreadPoster(std::shared_ptr<std::atomic<bool>> alive) : alive_(std::move(alive)) {}
    std::shared_ptr<std::atomic<bool>> alive_;
};

// The owner's end of a channel: open from construction until close() or
// destruction. Close it on the main thread.
class MainThreadChannel {
public:
    MainThreadChannel();
    ~MainThreadChannel();
    MainThreadChannel(const MainThreadChannel&) = delete;
    MainThreadChannel& operator=(const MainThreadChannel&) = delete;

    MainThreadPoster poster() const { return MainThreadPoster(alive_); }
    bool post(std::function<void()> call) const { return poster().post(std::move(call)); }
    void close();
    bool isOpen() const { return alive_->load(); }

private:
    std::shared_ptr<std::atomic<bool>> alive_;
};
