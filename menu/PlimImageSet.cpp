#include "menu/PlimImageSet.h"

#include <filesystem>
#include <iostream>

#include "platform/Bundle.h"

PlimImageSet::PlimImageSet(const std::string& directory, const Bundle& bundle) {
    for (const std::string& path : bundle.pathsForResourcesOfType("", directory)) {
        ImageRef image = Image::load(path);
        if (!image) {
            std::cerr << "PlimImageSet: Couldn't find image [" << path << "]" << std::endl;
            continue;
        }
        images_[std::filesystem::path(path).filename().string()] = std::move(image);
    }
}

ImageRef PlimImageSet::imageForKey(const std::string& name) const {
    auto it = images_.find(name);
    return it == images_.end() ? nullptr : it->second;
}
