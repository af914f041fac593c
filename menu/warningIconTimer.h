#pragma once
// The warning-flash rhythm: a long pause of 5 s, then quick 100 ms steps with
// one 1 s pause in between, 20 steps a cycle. It keeps a warning kind and two
// image names for the flash but draws nothing: the menu shows warnings as a
// static badge on the weather icon and as a warning line. Runs on the timer
// thread.

#include <atomic>
#include <string>

#include "util/teskTimer.h"

class PlimMenuWrapper;

class warningIconTimer : public teskTimer {
public:
    // Timer "warning" of 100 ms on the timer thread (the process-wide one
    // unless another is given); it steps only with a facade.
    explicit warningIconTimer(PlimMenuWrapper* menu, teskTimerThread* parent = nullptr);
    ~warningIconTimer() override;

    // Keeps the kind and the two image names and starts the timer.
    virtual void start(int kind, const std::string& image1, const std::string& image2);
    using teskTimer::start;

    int getStep() const { return step_.load(); }
    int getKind() const { return kind_; }
    const std::string& getImage1() const { return image1_; }
    const std::string& getImage2() const { return image2_; }

protected:
    void go() override;

private:
    PlimMenuWrapper* menu_;
    std::atomic<int> step_{0};  // 0..19
    int kind_ = 0;
    std::string image1_;
    std::string image2_;
};
