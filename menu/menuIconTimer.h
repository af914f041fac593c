#pragma once
// The scraping animation: while the first scrape runs, the menu-bar icon
// cycles through the frames 1, 2, 3, 4, 3, 2, 1 of the status image set every
// 120 ms. Runs on the timer thread and draws through the menu facade.

#include <string>

#include "util/teskTimer.h"

class PlimMenuWrapper;

class menuIconTimer : public teskTimer {
public:
    // Only the type "scraping" draws; the facade is the singleton of now.
    explicit menuIconTimer(const std::string& type);
    ~menuIconTimer() override;

    int getFrame() const { return frame_; }
    virtual menuIconTimer* getRefPtr() { return this; }

protected:
    void go() override;

private:
    int frame_ = 1;  // 1..7; touched only by go()
    PlimMenuWrapper* menu_;
    std::string type_;
};
