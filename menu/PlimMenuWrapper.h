#pragma once
// The only road from worker threads (scraper threads, the timer thread) to
// the status menu on the main thread. Every operation queues one call to the
// menu and returns at once; the main thread runs the queued calls in the
// order they were made, also when the main thread itself makes one (it then
// first runs the calls that worker threads queued before it). Texts are
// converted for display on the way. Once the menu's owner closes the channel,
// calls are dropped.
//
// One facade serves the whole process: the first one made becomes the
// singleton that the menu controller and the icon animation find.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <deque>

#include "menu/PlimMenuItem.h"
#include "platform/MainLoop.h"
#include "util/plist/Value.h"

class AutoreleasePool;
class PlimDirective;
class PlimMenuTarget;

class PlimMenuWrapper {
public:
    // `menu` is the main-thread menu that `channel` belongs to; whoever
    // destroys the menu closes the channel first, on the main thread.
    PlimMenuWrapper(MainThreadPoster channel, PlimMenuTarget* menu);
    PlimMenuWrapper(const PlimMenuWrapper&) = delete;
    PlimMenuWrapper& operator=(const PlimMenuWrapper&) = delete;
    // Releases a kept pool and stops being the singleton.
    ~PlimMenuWrapper();

    void setMainImage(const std::string& set, const std::string& key);
    void setMainWeatherImage(int code, int warning, int minuteOfDay, int sunrise, int sunset, float saturation);
    void setMainText(const std::string& text, int size);
    void addItemAtIndex(unsigned int index);
    void removeItemAtIndex(unsigned int index);
    void changeIconSet(unsigned int set);
    // Sends a copy of the record as a dictionary of strings.
    void setMenuItem(unsigned int index, const PlimMenuItem& item);

    // Bracket one rebuild with a release pool on the calling thread. A second
    // beginRefresh while a pool is kept keeps the first; finishRefresh
    // releases the pool only on the thread that opened it, and does nothing
    // when no pool is kept. The menu is told when a pool is opened and when
    // it is released, so that it shows the rebuild as one change.
    void beginRefresh();
    void finishRefresh();
    bool hasPool() const;

    // Directives are not handled by the menu.
    void sendDirective(PlimDirective&) {}

    // The record as the menu receives it: each key and value converted for
    // display.
    static plist::Dict toDictionary(const PlimMenuItem& item);

private:
    struct Queue;
    bool post(std::function<void(PlimMenuTarget&)> call);

    MainThreadPoster channel_;
    std::shared_ptr<Queue> queue_;  // shared with the posted drains, which may outlive the facade
    PlimMenuTarget* menu_;
    mutable std::mutex poolMutex_;
    std::unique_ptr<AutoreleasePool> pool_;
    std::thread::id poolThread_;
};

// The singleton, or null.
PlimMenuWrapper* getPlimMenuWrapperSingleton();
// Deletes the singleton when there is one and clears the pointer.
void deletePlimMenuWrapperSingleton();
