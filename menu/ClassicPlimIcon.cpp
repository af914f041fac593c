#include "menu/ClassicPlimIcon.h"

#include <cstdio>

#include "menu/IconStyleLayers.h"
#include "menu/PlimImageSet.h"
#include "scrapers/scraperConfig.h"

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
    if (!config_ || !config_->getDataForCode(shown, entry)) {
        std::fprintf(stderr, "ClassicPlimIcon::render: could not get renderData for code=[%d]\n", shown);
        return false;
    }
    ImageRef work = Image::create({kIconWidth, kIconHeight});

    IconLayers layers;
    layers.badge = warningBadge(warningImages_.get(), warning);
    layers.foreground = entryPicture(conditions_.get(), entry, "fg");
    layers.background = entryPicture(conditions_.get(), entry, "bg");
    if (!layers.foreground && !layers.background) {
        std::fprintf(stderr, "ClassicPlimIcon::render both fg & bg img are NULL!\n");
        return false;
    }
    if (entry["bg"] == "moon.tif") layers.moonShadow = getMoonPath(11.5f, 9.0f, 8.4f, 8.4f);
    drawIconLayers(*work, {0, -2}, layers);
    renderFinal(*work, target, saturation);
    return true;
}
