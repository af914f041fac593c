#pragma once
// The principal class of the Skyvane Menu plug-in: it starts the application
// core with itself as the status item, and deactivates it before unloading.

#include <memory>

#include "app/menuextra/ComTeskMenuExtra.h"

class ComTeskPlim;

class SkyvaneMenuExtra : public ComTeskMenuExtra {
public:
    static constexpr double kInitialLength = 47.0;

    SkyvaneMenuExtra();
    ~SkyvaneMenuExtra() override;

    bool initWithBundle(const std::string& bundlePath, StatusItemRef hostItem) override;
    void willUnload() override;
    ComTeskPlim* core() const { return skyvane_.get(); }

private:
    std::unique_ptr<ComTeskPlim> skyvane_;
};
