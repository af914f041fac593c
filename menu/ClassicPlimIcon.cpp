#include "menu/ClassicPlimIcon.h"

#include "menu/IconStyleLayers.h"
#include "menu/PlimImageSet.h"

ClassicPlimIcon::ClassicPlimIcon(const Bundle& bundle) : PlimWeatherIcon(bundle, "classic") {
    initialize();
    loadGraphics();
}

ClassicPlimIcon::~ClassicPlimIcon() { unloadGraphics(); }

void ClassicPlimIcon::loadGraphics() { conditions_ = std::make_unique<PlimImageSet>("gfx/conditions", bundle_); }

void ClassicPlimIcon::unloadGraphics() { conditions_.reset(); }

bool ClassicPlimIcon::render(Image& target, int code, int warning, int minuteOfDay, float saturation, bool,
                             int sunrise, int sunset) {
    const int shown = sanityCheckIconCode(code, minuteOfDay, sunrise, sunset);
    std::map<std::string, std::string> entry;
    if (!iconEntryForCode("ClassicPlimIcon", config_.get(), shown, entry)) return false;
    ImageRef work = Image::create({kIconWidth, kIconHeight});

    IconLayers layers;
    if (!collectIconLayers("ClassicPlimIcon", conditions_.get(), warningImages_.get(), entry, warning, layers))
        return false;
    if (entry["bg"] == "moon.tif") layers.moonShadow = getMoonPath(11.5f, 9.0f, 8.4f, 8.4f);
    drawIconLayers(*work, {0, -2}, layers);
    renderFinal(*work, target, saturation);
    return true;
}
