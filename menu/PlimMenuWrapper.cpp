#include "menu/PlimMenuWrapper.h"

#include <atomic>
#include <exception>
#include <functional>
#include <iostream>
#include <utility>

#include "menu/PlimMenuTarget.h"
#include "util/DisplayText.h"
#include "util/teskThread.h"

namespace {

std::atomic<PlimMenuWrapper*> singleton{nullptr};

}  // namespace

// The calls not yet run, in the order they were made. A post made on the main
// thread runs at once, ahead of posts that worker threads queued earlier; so
// every post only drains this queue, and the order holds whichever thread
// calls.
struct PlimMenuWrapper::Queue {
    std::mutex mutex;
    std::deque<std::function<void()>> calls;
    bool draining = false;  // main thread only

    void push(std::function<void()> call) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(call));
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex);
        calls.clear();
    }
    void drain() {
        if (draining) return;  // a call ran the loop again: the outer drain goes on
        draining = true;
        for (;;) {
            std::function<void()> call;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (calls.empty()) break;
                call = std::move(calls.front());
                calls.pop_front();
            }
            try {
                call();
            } catch (const std::exception& e) {
                std::cerr << "PlimMenuWrapper: a menu call failed: " << e.what() << std::endl;
            } catch (...) {
                std::cerr << "PlimMenuWrapper: a menu call failed" << std::endl;
            }
        }
        draining = false;
    }
};

PlimMenuWrapper::PlimMenuWrapper(MainThreadPoster channel, PlimMenuTarget* menu)
    : channel_(std::move(channel)), queue_(std::make_shared<Queue>()), menu_(menu) {
    PlimMenuWrapper* none = nullptr;
    singleton.compare_exchange_strong(none, this);
}

PlimMenuWrapper::~PlimMenuWrapper() {
    PlimMenuWrapper* self = this;
    singleton.compare_exchange_strong(self, nullptr);
    finishRefresh();
    // A pool still kept belongs to a rebuild on another thread; draining it
    // here would unwind this thread's pools instead, so it is left alone.
    std::lock_guard<std::mutex> lock(poolMutex_);
    (void)pool_.release();
}

bool PlimMenuWrapper::post(std::function<void(PlimMenuTarget&)> call) {
    if (!menu_) return false;
    PlimMenuTarget* menu = menu_;
    queue_->push([menu, call = std::move(call)] { call(*menu); });
    if (channel_.post([queue = queue_] { queue->drain(); })) return true;
    queue_->clear();  // the menu is gone: nothing will run them
    return false;
}

void PlimMenuWrapper::setMainImage(const std::string& set, const std::string& key) {
    post([set = toDisplayText(set), key = toDisplayText(key)](PlimMenuTarget& menu) {
        menu.setMainImageOfSet(set, key);
    });
}

void PlimMenuWrapper::setMainWeatherImage(int code, int warning, int minuteOfDay, int sunrise, int sunset,
                                          float saturation) {
    post([=](PlimMenuTarget& menu) { menu.setMainWeatherImage(code, warning, minuteOfDay, sunrise, sunset, saturation); });
}

void PlimMenuWrapper::setMainText(const std::string& text, int size) {
    post([text = toDisplayText(text), size](PlimMenuTarget& menu) { menu.setMainText(text, static_cast<float>(size)); });
}

void PlimMenuWrapper::addItemAtIndex(unsigned int index) {
    post([index](PlimMenuTarget& menu) { menu.addItemAtIndex(index); });
}

void PlimMenuWrapper::removeItemAtIndex(unsigned int index) {
    post([index](PlimMenuTarget& menu) { menu.removeItemAtIndex(index); });
}

void PlimMenuWrapper::changeIconSet(unsigned int set) {
    post([set](PlimMenuTarget& menu) { menu.changeIconSet(static_cast<int>(set)); });
}

plist::Dict PlimMenuWrapper::toDictionary(const PlimMenuItem& item) {
    plist::Dict dict;
    for (const auto& [key, value] : item.getHash()) {
        dict.emplace(toDisplayText(key), plist::Value(toDisplayText(value)));
    }
    return dict;
}

void PlimMenuWrapper::setMenuItem(unsigned int index, const PlimMenuItem& item) {
    post([index, dict = toDictionary(item)](PlimMenuTarget& menu) { menu.setMenuItem(index, dict); });
}

void PlimMenuWrapper::beginRefresh() {
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        if (pool_) return;
        pool_ = std::make_unique<AutoreleasePool>();
        poolThread_ = std::this_thread::get_id();
    }
    post([](PlimMenuTarget& menu) { menu.beginChanges(); });
}

void PlimMenuWrapper::finishRefresh() {
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        // A pool is current on the thread that opened it: only that thread may
        // drain it.
        if (!pool_ || poolThread_ != std::this_thread::get_id()) return;
        pool_.reset();
        poolThread_ = std::thread::id();
    }
    post([](PlimMenuTarget& menu) { menu.endChanges(); });
}

bool PlimMenuWrapper::hasPool() const {
    std::lock_guard<std::mutex> lock(poolMutex_);
    return pool_ != nullptr;
}

PlimMenuWrapper* getPlimMenuWrapperSingleton() { return singleton.load(); }

void deletePlimMenuWrapperSingleton() { delete singleton.exchange(nullptr); }
