#pragma once
// What the application core needs of the menu-bar plug-in it is created
// with: the plug-in draws the weather image and title itself (it answers
// like a status item), shows the core's menu through the item its host gave
// it, and has its own bundle.

#include "menu/PlimCore.h"
#include "platform/Bundle.h"
#include "platform/StatusBar.h"

class MenuExtraItem : public PlimStatusItem {
public:
    // The host's item that shows the plug-in and its menu.
    virtual StatusItemRef statusItem() = 0;
    virtual Bundle& bundle() = 0;
    virtual void setLength(double length) = 0;
};
