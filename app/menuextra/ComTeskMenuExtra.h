#pragma once
// The plug-in classes that make a menu-bar plug-in answer like a status
// item: the application core and the status menu set its image and title as
// they would a status item's. The view draws the image scaled to the bar's
// thickness followed by the title, and the plug-in sizes itself to fit. The
// host's item is given the image and the title themselves: a panel shows the
// image as the item's icon and the title as its label, as it does the
// standalone program's item, instead of shrinking the wide drawing.

#include <memory>
#include <string>

#include "app/MenuExtraItem.h"
#include "app/menuextra/MenuExtra.h"
#include "platform/AttributedString.h"
#include "platform/Image.h"

class ComTeskMenuExtra;

class ComTeskMenuExtraView : public MenuExtraView {
public:
    static constexpr double kMenuBarThickness = 22.0;

    ComTeskMenuExtraView(Rect frame, ComTeskMenuExtra* menuExtra);
    void drawRect(ImageCanvas& canvas, const Rect& rect, bool menuDown) override;
    // Fits the view and the plug-in's length to the image and the title.
    void autoSetLength();
    double menuBarThickness() const { return menuBarThickness_; }

private:
    ComTeskMenuExtra* menuExtra_;  // not owned
    double menuBarThickness_ = kMenuBarThickness;
};

class ComTeskMenuExtra : public MenuExtra, public MenuExtraItem {
public:
    ComTeskMenuExtra() = default;

    bool initWithBundle(const std::string& bundlePath, StatusItemRef hostItem) override;

    const AttributedString& attributedTitle() const { return attribTitle_; }
    const std::string& title() const { return attribTitle_.string(); }
    const ImageRef& image() const { return image_; }

    // PlimStatusItem: what the core and the menu set.
    void setAttributedTitle(const AttributedString& title) override;
    void setImage(ImageRef image) override;
    // The host's item shows the tool tip.
    void setToolTip(const std::string& text) override {
        if (hostItem()) hostItem()->setToolTip(text);
    }
    // Replaces the characters of the title, keeping its attributes.
    void setTitle(const std::string& title);

    // MenuExtraItem
    StatusItemRef statusItem() override { return hostItem(); }
    Bundle& bundle() override { return MenuExtra::bundle(); }
    void setLength(double length) override { MenuExtra::setLength(length); }

protected:
    void presentInHostItem() override;

private:
    void changed();

    AttributedString attribTitle_;
    ImageRef image_;
};
