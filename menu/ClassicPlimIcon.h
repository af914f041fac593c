#pragma once
// The classic icon style: a condition's background and foreground pictures
// with the moon's phase and a warning badge, on a transparent ground.

#include <memory>

#include "menu/PlimWeatherIcon.h"

class ClassicPlimIcon : public PlimWeatherIcon {
public:
    explicit ClassicPlimIcon(const Bundle& bundle);
    ~ClassicPlimIcon() override;

    void loadGraphics() override;
    void unloadGraphics() override;
    bool render(Image& target, int code, int warning, int minuteOfDay, float saturation, bool small, int sunrise,
                int sunset) override;

private:
    std::unique_ptr<PlimImageSet> conditions_;
};
