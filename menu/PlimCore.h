#pragma once
// What the status menu asks of the application core and of the thing it
// draws into. The core (the menu program's application object) implements
// PlimCore; the menu-bar item is a status item, or the menu-bar plug-in,
// which answers alike.

#include <string>

#include "platform/AttributedString.h"
#include "platform/Bundle.h"
#include "platform/Image.h"
#include "platform/StatusBar.h"
#include "util/plist/Value.h"

class PlimCore {
public:
    virtual ~PlimCore() = default;
    // The program's bundle: its "Skyvane" string table localizes the menu.
    virtual Bundle& bundle() = 0;
    // The weather-code map: decimal code -> dictionary with
    // "DescriptionString" and "ImageFile".
    virtual const plist::Dict& weatherCodeMap() = 0;
    // The user's short date format and time format (strftime conventions).
    virtual std::string shortDateFormatString() = 0;
    virtual std::string timeFormatString() = 0;
};

class PlimStatusItem {
public:
    virtual ~PlimStatusItem() = default;
    virtual void setImage(ImageRef image) = 0;
    virtual void setAttributedTitle(const AttributedString& title) = 0;
    // The text shown when the pointer rests on the item; lines separated by "\n".
    virtual void setToolTip(const std::string&) {}
};

// A status item of the system status bar as the menu's drawing target.
class StatusItemTarget : public PlimStatusItem {
public:
    explicit StatusItemTarget(StatusItemRef item) : item_(std::move(item)) {}
    void setImage(ImageRef image) override { item_->setImage(std::move(image)); }
    void setAttributedTitle(const AttributedString& title) override { item_->setAttributedTitle(title); }
    void setToolTip(const std::string& text) override { item_->setToolTip(text); }
    const StatusItemRef& item() const { return item_; }

private:
    StatusItemRef item_;
};
