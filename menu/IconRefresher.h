#pragma once
// Re-renders the menu-bar icon every few minutes (the time of day changes
// it) and runs a full menu rebuild on request. Works on the timer thread.

#include <atomic>

#include "util/teskTimer.h"

class PlimMenuController;

class IconRefresher : public teskTimer {
public:
    IconRefresher(PlimMenuController* controller, int minutes);
    ~IconRefresher() override;

    // A new period; clears a pending full rebuild and starts the timer.
    virtual void start(int minutes);
    using teskTimer::start;
    // The next run, at once when the timer runs, is a full rebuild.
    void fullRefresh();

protected:
    void go() override;

private:
    std::atomic<bool> doFullRefresh_{false};
    PlimMenuController* controller_;
};
