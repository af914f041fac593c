#pragma once
// All images of one bundle directory, by file name, loaded once when the set
// is made and only read afterwards (so several threads may look images up).

#include <map>
#include <string>

#include "platform/Bundle.h"
#include "platform/Image.h"


class PlimImageSet {
public:
    // Loads every file of the directory (relative to the bundle's
    // resources) that reads as an image, keyed by its file name with the
    // extension ("kv2-1.png"). A file that is no image is logged and left
    // out; a missing directory gives an empty set.
    PlimImageSet(const std::string& directory, const Bundle& bundle);

    // The image of that file name, or null.
    ImageRef imageForKey(const std::string& name) const;
    size_t count() const { return images_.size(); }

private:
    std::map<std::string, ImageRef> images_;
};
