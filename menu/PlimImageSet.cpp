#include "menu/PlimImageSet.h"

#include <cstdio>
#include <filesystem>

#include "platform/Bundle.h"

PlimImageSet::PlimImageSet(const std::string& directory, const Bundle& bundle) {
    for (const std::string& path : bundle.pathsForResourcesOfType("", directory)) {
        ImageRef image = Image::load(path);
        if (!image) {
            std::fprintf(stderr, "PlimImageSet: Couldn't find image [%s]\n", path.c_str());
            continue;
        }
        images_[std::filesystem::path(path).filename().string()] = std::move(image);
    }
}

ImageRef PlimImageSet::imageForKey(const std::string& name) const {
    auto it = images_.find(name);
    return it == images_.end() ? nullptr : it->second;
}
