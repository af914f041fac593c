#pragma once
// The scraping animation: while the first scrape runs, the menu-bar icon
// cycles through the frames 1, 2, 3, 4, 3, 2, 1 of the status image set every
// 120 ms. Runs on the timer thread and draws through the menu facade.

#include <mutex>
#include <string>

#include "util/teskTimer.h"

class PlimMenuWrapper;

class menuIconTimer : public teskTimer {
public:
    // Only the type "scraping" draws; the facade is the singleton of now.
    explicit menuIconTimer(const std::string& type, teskTimerThread* parent = nullptr);
    ~menuIconTimer() override;

    // Returns once no frame is being drawn: a frame never lands on the menu
    // bar after the picture that follows the stop.
    void stop() override;

    int getFrame() const { return frame_; }
    virtual menuIconTimer* getRefPtr() { return this; }

protected:
    void go() override;

private:
    std::mutex drawing_;  // held while a frame is drawn, and by stop()
    int frame_ = 1;       // 1..7; touched only by go()
    PlimMenuWrapper* menu_;
    std::string type_;
};
