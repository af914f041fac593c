#include "menu/warningIconTimer.h"

namespace {

constexpr int kSteps = 20;

}  // namespace

warningIconTimer::warningIconTimer(PlimMenuWrapper* menu, teskTimerThread* parent)
    : teskTimer("warning", 100, false, parent), menu_(menu) {}

warningIconTimer::~warningIconTimer() { shutdown(); }

void warningIconTimer::start(int kind, const std::string& image1, const std::string& image2) {
    kind_ = kind;
    image1_ = image1;
    image2_ = image2;
    teskTimer::start();
}

void warningIconTimer::go() {
    if (!menu_) return;
    const int step = step_.load();
    switch (step) {
        case 0: setSleepMs(5000); break;
        case 1: setSleepMs(100); break;
        case 10: setSleepMs(1000); break;
        case 11: setSleepMs(100); break;
        default: break;
    }
    step_.store((step + 1) % kSteps);
}
