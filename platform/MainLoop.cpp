#include "platform/MainLoop.h"

#include <csignal>

#include <glib.h>
#include <glib-unix.h>

#include <chrono>
#include <deque>
#include <exception>
#include <iostream>
#include <mutex>
#include <thread>

namespace {

void runGuarded(const std::function<void()>& call, const char* what) {
    try {
        call();
    } catch (const std::exception& e) {
        std::cerr << "MainLoop: " << what << " failed: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "MainLoop: " << what << " failed" << std::endl;
    }
}

// The one queue of posted calls. The main thread takes them one at a time
// from a single idle source, so calls run in posting order even when one of
// them runs the loop again.
class PostQueue {
public:
    struct Item {
        std::shared_ptr<std::atomic<bool>> alive;
        std::function<void()> call;
    };

    void push(Item item) {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(std::move(item));
        if (scheduled_) return;
        scheduled_ = true;
        GSource* source = g_idle_source_new();
        g_source_set_priority(source, G_PRIORITY_DEFAULT);
        g_source_set_callback(source, &PostQueue::drain, this, nullptr);
        g_source_attach(source, g_main_context_default());
        g_source_unref(source);
    }

private:
    static gboolean drain(gpointer self) {
        auto* queue = static_cast<PostQueue*>(self);
        if (queue->draining_) return G_SOURCE_CONTINUE;  // a call runs the loop: wait for it
        queue->draining_ = true;
        for (;;) {
            Item item;
            {
                std::lock_guard<std::mutex> lock(queue->mutex_);
                if (queue->items_.empty()) {
                    queue->scheduled_ = false;
                    break;
                }
                item = std::move(queue->items_.front());
                queue->items_.pop_front();
            }
            if (item.alive->load()) runGuarded(item.call, "a posted call");
        }
        queue->draining_ = false;
        return G_SOURCE_REMOVE;
    }

    std::mutex mutex_;
    std::deque<Item> items_;
    bool scheduled_ = false;
    bool draining_ = false;  // main thread only
};

PostQueue& postQueue() {
    static PostQueue* queue = new PostQueue;  // outlives every thread that may post
    return *queue;
}

gboolean fireTimer(gpointer data) {
    auto* action = static_cast<std::function<bool()>*>(data);
    bool again = false;
    runGuarded([&] { again = (*action)(); }, "a timer");
    return again ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void deleteTimer(gpointer data) { delete static_cast<std::function<bool()>*>(data); }

}  // namespace

struct MainLoop::Impl {
    std::thread::id mainThread = std::this_thread::get_id();
    GMainLoop* loop = g_main_loop_new(g_main_context_default(), FALSE);
};

MainLoop::MainLoop() : impl_(std::make_unique<Impl>()) {}

MainLoop& MainLoop::instance() {
    static MainLoop* loop = new MainLoop;  // lives for the whole process
    return *loop;
}

bool MainLoop::isMainThread() const { return std::this_thread::get_id() == impl_->mainThread; }

void MainLoop::run() { g_main_loop_run(impl_->loop); }

void MainLoop::quit() { g_main_loop_quit(impl_->loop); }

bool MainLoop::iterate(bool mayBlock) { return g_main_context_iteration(g_main_context_default(), mayBlock) != 0; }

bool MainLoop::runUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool expired = false;
    // A timer wakes the blocking iteration at the deadline.
    GSource* timeout = g_timeout_source_new(static_cast<guint>(timeoutMs > 0 ? timeoutMs : 0));
    g_source_set_callback(
        timeout, [](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &expired, nullptr);
    g_source_attach(timeout, g_main_context_default());
    bool ok = done();
    while (!ok && !expired && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(g_main_context_default(), TRUE);
        ok = done();
    }
    g_source_destroy(timeout);
    g_source_unref(timeout);
    return ok;
}

unsigned MainLoop::addTimer(unsigned intervalMs, std::function<bool()> action) {
    GSource* source = g_timeout_source_new(intervalMs);
    g_source_set_callback(source, fireTimer, new std::function<bool()>(std::move(action)), deleteTimer);
    unsigned id = g_source_attach(source, g_main_context_default());
    g_source_unref(source);
    return id;
}

void MainLoop::removeTimer(unsigned id) {
    if (id == 0) return;
    if (GSource* source = g_main_context_find_source_by_id(g_main_context_default(), id)) g_source_destroy(source);
}

void MainLoop::onTerminationSignal(std::function<void()> action) {
    // One action for the process; the signal sources stay for its life.
    static std::function<void()> terminationAction;
    static bool registered = false;
    terminationAction = std::move(action);
    if (registered) return;
    registered = true;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        g_unix_signal_add(
            signal,
            [](gpointer) -> gboolean {
                if (terminationAction) terminationAction();
                return G_SOURCE_CONTINUE;
            },
            nullptr);
    }
}

void* MainLoop::context() const { return g_main_context_default(); }

bool MainThreadPoster::post(std::function<void()> call) const {
    if (!alive_ || !alive_->load()) return false;
    if (MainLoop::instance().isMainThread()) {
        runGuarded(call, "a posted call");
        return true;
    }
    postQueue().push({alive_, std::move(call)});
    return true;
}

MainThreadChannel::MainThreadChannel() : alive_(std::make_shared<std::atomic<bool>>(true)) {}

MainThreadChannel::~MainThreadChannel() { close(); }

void MainThreadChannel::close() { alive_->store(false); }
