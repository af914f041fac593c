#include "menu/menuIconTimer.h"

#include <iostream>

#include "menu/PlimMenuWrapper.h"

menuIconTimer::menuIconTimer(const std::string& type, teskTimerThread* parent)
    : teskTimer("icon", 120, false, parent), menu_(getPlimMenuWrapperSingleton()), type_(type) {}

menuIconTimer::~menuIconTimer() { shutdown(); }

void menuIconTimer::stop() {
    std::lock_guard<std::mutex> lock(drawing_);
    teskTimer::stop();
}

void menuIconTimer::go() {
    if (type_ != "scraping") return;
    std::lock_guard<std::mutex> lock(drawing_);
    if (!isRunning()) return;  // stopped while this run was being fired
    int shown = frame_ <= 4 ? frame_ : 8 - frame_;
    if (menu_) {
        menu_->setMainText("    ", 14);
        menu_->setMainImage("status", "kv2-" + std::to_string(shown) + ".png");
    } else {
        std::cout << "menu not instantiated!" << std::endl;
    }
    frame_ = frame_ >= 7 ? 1 : frame_ + 1;
}
