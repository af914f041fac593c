#pragma once
// The drawing steps the icon styles share: the warning badge, the condition
// pictures of a style-file entry, and the layers drawn over one another.

#include <map>
#include <optional>
#include <string>

#include "platform/BezierPath.h"
#include "platform/Image.h"

class PlimImageSet;
class scraperConfig;

struct IconLayers {
    ImageRef background;
    ImageRef foreground;
    ImageRef sheen;  // neo only
    ImageRef badge;
    std::optional<BezierPath> moonShadow;
};

// The style file's entry for the code; false, with a message naming the
// style's class, when it has none.
bool iconEntryForCode(const char* styleClass, scraperConfig* config, int code,
                      std::map<std::string, std::string>& entry);
// The badge and the entry's "fg" and "bg" pictures; false, with a message
// naming the style's class, when neither picture is found.
bool collectIconLayers(const char* styleClass, const PlimImageSet* conditions, const PlimImageSet* warnings,
                       const std::map<std::string, std::string>& entry, int warning, IconLayers& layers);
// "watch-tiny.png" for warning level 1, "warning-tiny.png" for 2, else none.
ImageRef warningBadge(const PlimImageSet* warnings, int warning);
// The picture named by entry[key], or null when the name is empty or unknown.
ImageRef entryPicture(const PlimImageSet* pictures, const std::map<std::string, std::string>& entry,
                      const std::string& key);
// Draws, source-over, the background, the moon's shadow (filled, then
// stroked, in translucent dark grey; not moved with the pictures), the
// foreground, the sheen and the badge; the pictures at `origin`.
void drawIconLayers(Image& work, Point origin, const IconLayers& layers);
