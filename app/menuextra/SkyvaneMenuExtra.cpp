#include "app/menuextra/SkyvaneMenuExtra.h"

#include "app/ComTeskPlim.h"

SkyvaneMenuExtra::SkyvaneMenuExtra() = default;

SkyvaneMenuExtra::~SkyvaneMenuExtra() {
    if (skyvane_) skyvane_->deactivate();
}

bool SkyvaneMenuExtra::initWithBundle(const std::string& bundlePath, StatusItemRef hostItem) {
    if (!ComTeskMenuExtra::initWithBundle(bundlePath, std::move(hostItem))) return false;
    skyvane_ = std::make_unique<ComTeskPlim>(this);
    setLength(kInitialLength);
    return true;
}

void SkyvaneMenuExtra::willUnload() {
    // The host waits for the unload: no fetch may hold it up.
    if (skyvane_) skyvane_->stopNetworkWork();
    if (skyvane_) skyvane_->deactivate();
    skyvane_.reset();
    ComTeskMenuExtra::willUnload();
}
