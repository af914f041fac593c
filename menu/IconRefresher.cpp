#include "menu/IconRefresher.h"

#include "menu/PlimMenuController.h"

IconRefresher::IconRefresher(PlimMenuController* controller, int minutes)
    : teskTimer("minuteRefresher", minutes * 60000, false), controller_(controller) {}

IconRefresher::~IconRefresher() { shutdown(); }

void IconRefresher::start(int minutes) {
    setSleepMs(minutes * 60000);
    doFullRefresh_ = false;
    teskTimer::start();
}

void IconRefresher::fullRefresh() {
    doFullRefresh_ = true;
    wakeupNow();
}

void IconRefresher::go() {
    if (!controller_) return;
    if (doFullRefresh_.exchange(false)) {
        controller_->refresh(false);
    } else {
        controller_->iconRefresh(false);
    }
}
