#pragma once
// The neo icon style: the classic layers over a block whose colour follows
// the time of day, blended across sunrise and sunset, with a gloss on top.

#include <map>
#include <memory>
#include <string>

#include "menu/PlimWeatherIcon.h"

class NeoPlimIcon : public PlimWeatherIcon {
public:
    explicit NeoPlimIcon(const Bundle& bundle);
    ~NeoPlimIcon() override;

    void loadGraphics() override;
    void unloadGraphics() override;
    bool render(Image& target, int code, int warning, int minuteOfDay, float saturation, bool small, int sunrise,
                int sunset) override;
    // Draws the time-of-day blocks, and the entry's extra block at its
    // opacity, into image. Always true.
    bool renderBlock(std::map<std::string, std::string>& data, Image& image, int code, int now, int sunrise,
                     int sunset);

private:
    std::unique_ptr<PlimImageSet> conditions_;
    std::unique_ptr<PlimImageSet> blocks_;
};
