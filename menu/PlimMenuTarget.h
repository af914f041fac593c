#pragma once
// What the status menu does for the worker threads. The menu object lives on
// the main thread and implements this; PlimMenuWrapper posts each call to it
// there. Every text arrives as UTF-8 (converted from the engine's bytes on
// the way) and every menu-line value as a string.

#include <string>

#include "util/plist/Value.h"

class PlimMenuTarget {
public:
    PlimMenuTarget() = default;
    PlimMenuTarget(const PlimMenuTarget&) = delete;
    PlimMenuTarget& operator=(const PlimMenuTarget&) = delete;
    virtual ~PlimMenuTarget() = default;

    // Puts the image `key` of the image set `set` on the status item.
    virtual void setMainImageOfSet(const std::string& set, const std::string& key) = 0;
    // Renders the weather icon for the code, warning level (0 none, 1 watch,
    // 2 warning), minute of the local day, sunrise and sunset (minutes after
    // midnight) and saturation (0.0 to 1.0), and puts it on the status item.
    // PlimMenuItem::NoWeatherCode puts an empty picture there.
    virtual void setMainWeatherImage(int code, int warning, int minuteOfDay, int sunrise, int sunset,
                                     float saturation) = 0;
    // The status item's title: the text in the title font of that size.
    virtual void setMainText(const std::string& text, float size) = 0;
    // Inserts an empty line at the index / removes the line at the index.
    virtual void addItemAtIndex(unsigned int index) = 0;
    virtual void removeItemAtIndex(unsigned int index) = 0;
    // Switches the icon style (0 classic, any other neo).
    virtual void changeIconSet(int set) = 0;
    // Lays out the line at the index from a menu-line record (string values
    // under the PlimMenuItem keys).
    virtual void setMenuItem(unsigned int index, const plist::Dict& dict) = 0;
    // Bracket one rebuild of the lines, so that the menu on the desktop goes
    // from the old lines to the new ones at once. Every begin is followed by
    // one end.
    virtual void beginChanges() {}
    virtual void endChanges() {}
};
