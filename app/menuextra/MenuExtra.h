#pragma once
// Our stand-in for the desktop's menu-bar plug-in host classes. A plug-in's
// principal class derives from MenuExtra; the host program loads the
// plug-in's module, makes the principal class through the module's factory,
// and gives it a status item of the system status bar to present itself in.
// The plug-in draws itself through a MenuExtraView: each display renders the
// view into a picture, which by default becomes the status item's image. A
// plug-in with an icon and a label of its own presents those instead, so a
// panel can show the icon in its square slot and the label beside it.

#include <memory>
#include <string>

#include "platform/Bundle.h"
#include "platform/Geometry.h"
#include "platform/ImageCanvas.h"
#include "platform/StatusBar.h"

class MenuExtra;

class MenuExtraView {
public:
    explicit MenuExtraView(Rect frame) : frame_(frame) {}
    virtual ~MenuExtraView() = default;
    MenuExtraView(const MenuExtraView&) = delete;
    MenuExtraView& operator=(const MenuExtraView&) = delete;

    const Rect& frame() const { return frame_; }
    void setFrameSize(Size size) { frame_.size = size; }

    // Draws the view; the base draws the highlight while the menu is down.
    virtual void drawRect(ImageCanvas& canvas, const Rect& rect, bool menuDown);
    // Renders the view, as it looks for its menu extra now, into its picture.
    void display(MenuExtra& extra);
    // The last rendered picture; null before the first display.
    const ImageRef& picture() const { return picture_; }

private:
    Rect frame_;
    ImageRef picture_;
};

class MenuExtra {
public:
    MenuExtra() = default;
    virtual ~MenuExtra();
    MenuExtra(const MenuExtra&) = delete;
    MenuExtra& operator=(const MenuExtra&) = delete;

    // Called by the host once: the plug-in's bundle and the status item it
    // is shown in. False when the plug-in could not start.
    virtual bool initWithBundle(const std::string& bundlePath, StatusItemRef hostItem);
    // Called by the host before it unloads the module.
    virtual void willUnload();

    Bundle& bundle() { return *bundle_; }
    const StatusItemRef& hostItem() const { return hostItem_; }
    MenuExtraView* view() const { return view_.get(); }
    void setView(std::unique_ptr<MenuExtraView> view);
    double length() const { return hostItem_ ? hostItem_->length() : 0; }
    virtual void setLength(double length);
    bool isMenuDown() const { return hostItem_ && hostItem_->isMenuDown(); }
    // Redraws the view and presents the plug-in in the status item.
    void redraw();

protected:
    // Shows the plug-in in the host's status item: the view's picture.
    virtual void presentInHostItem();

private:
    std::unique_ptr<Bundle> bundle_;
    StatusItemRef hostItem_;
    std::unique_ptr<MenuExtraView> view_;
    bool shownMenuDown_ = false;
};

// The module's factory: the symbol "<principal class>_create" makes one.
using MenuExtraFactory = MenuExtra* (*)();
