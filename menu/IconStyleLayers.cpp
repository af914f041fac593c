#include "menu/IconStyleLayers.h"

#include <iostream>

#include "menu/PlimImageSet.h"
#include "platform/ImageCanvas.h"
#include "scrapers/scraperConfig.h"

bool iconEntryForCode(const char* styleClass, scraperConfig* config, int code,
                      std::map<std::string, std::string>& entry) {
    if (config && config->getDataForCode(code, entry)) return true;
    std::cerr << styleClass << "::render: could not get renderData for code=[" << code << "]" << std::endl;
    return false;
}

bool collectIconLayers(const char* styleClass, const PlimImageSet* conditions, const PlimImageSet* warnings,
                       const std::map<std::string, std::string>& entry, int warning, IconLayers& layers) {
    layers.badge = warningBadge(warnings, warning);
    layers.foreground = entryPicture(conditions, entry, "fg");
    layers.background = entryPicture(conditions, entry, "bg");
    if (layers.foreground || layers.background) return true;
    std::cerr << styleClass << "::render both fg & bg img are NULL!" << std::endl;
    return false;
}

ImageRef warningBadge(const PlimImageSet* warnings, int warning) {
    if (!warnings) return nullptr;
    if (warning == 1) return warnings->imageForKey("watch-tiny.png");
    if (warning == 2) return warnings->imageForKey("warning-tiny.png");
    return nullptr;
}

ImageRef entryPicture(const PlimImageSet* pictures, const std::map<std::string, std::string>& entry,
                      const std::string& key) {
    auto it = entry.find(key);
    if (!pictures || it == entry.end() || it->second.empty()) return nullptr;
    return pictures->imageForKey(it->second);
}

void drawIconLayers(Image& work, Point origin, const IconLayers& layers) {
    if (layers.background) work.composite(*layers.background, origin);
    if (layers.moonShadow) {
        const Color shadow = Color::calibratedRGB(0.17, 0.17, 0.17, 0.5);
        ImageCanvas canvas(work);
        canvas.fill(*layers.moonShadow, shadow);
        canvas.stroke(*layers.moonShadow, shadow);
    }
    if (layers.foreground) work.composite(*layers.foreground, origin);
    if (layers.sheen) work.composite(*layers.sheen, origin);
    if (layers.badge) work.composite(*layers.badge, origin);
}
