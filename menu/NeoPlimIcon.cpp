#include "menu/NeoPlimIcon.h"

#include <charconv>

#include "menu/IconStyleLayers.h"
#include "menu/PlimImageSet.h"

NeoPlimIcon::NeoPlimIcon(const Bundle& bundle) : PlimWeatherIcon(bundle, "neo") {
    initialize();
    loadGraphics();
}

NeoPlimIcon::~NeoPlimIcon() { unloadGraphics(); }

void NeoPlimIcon::loadGraphics() {
    conditions_ = std::make_unique<PlimImageSet>("gfx/conditions", bundle_);
    blocks_ = std::make_unique<PlimImageSet>("gfx/blocks", bundle_);
}

void NeoPlimIcon::unloadGraphics() {
    conditions_.reset();
    blocks_.reset();
}

bool NeoPlimIcon::renderBlock(std::map<std::string, std::string>& data, Image& image, int, int now, int sunrise,
                              int sunset) {
    State first, second;
    const int count = getDayStates(now, sunrise, sunset, first, second);
    auto block = [this](const std::string& name) { return blocks_ && !name.empty() ? blocks_->imageForKey(name) : nullptr; };

    if (ImageRef b = block(first.imageName)) image.composite(*b, {0, 0}, first.weight);
    if (count == 2) {
        if (ImageRef b = block(second.imageName)) image.composite(*b, {0, 0}, second.weight);
    }
    if (ImageRef extra = block(data["block"])) {
        // The opacity is read as a plain decimal whatever the user's locale.
        const std::string& text = data["block_alpha"];
        double alpha = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), alpha);
        image.composite(*extra, {0, 0}, alpha);
    }
    return true;
}

bool NeoPlimIcon::render(Image& target, int code, int warning, int minuteOfDay, float saturation, bool, int sunrise,
                         int sunset) {
    const int shown = sanityCheckIconCode(code, minuteOfDay, sunrise, sunset);
    std::map<std::string, std::string> entry;
    if (!iconEntryForCode("NeoPlimIcon", config_.get(), shown, entry)) return false;
    ImageRef work = Image::create({kIconWidth, kIconHeight});
    renderBlock(entry, *work, shown, minuteOfDay, sunrise, sunset);

    IconLayers layers;
    if (!collectIconLayers("NeoPlimIcon", conditions_.get(), warningImages_.get(), entry, warning, layers))
        return false;
    if (entry["bg"] == "moon-neo.png") layers.moonShadow = getMoonPath(14.0f, 9.0f, 8.0f, 8.0f);
    layers.sheen = blocks_ ? blocks_->imageForKey("sheen_block.png") : nullptr;
    drawIconLayers(*work, {0, 0}, layers);
    renderFinal(*work, target, saturation);
    return true;
}
