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
    // The host waits for the unload: no fetch or busy thread may hold it up.
    // A refresh thread still busy after the deadline uses the core, which so
    // stays; the host then ends the process without tearing it down.
    if (skyvane_ && skyvane_->finishForExit()) skyvane_.reset();
    ComTeskMenuExtra::willUnload();
}
