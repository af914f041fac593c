#pragma once
// The system status bar and its items (the tray icons), as a model the
// program drives and tests inspect; a presenter shows the items on the desktop.

#include <functional>
#include <memory>
#include <vector>

#include "platform/AttributedString.h"
#include "platform/Image.h"
#include "platform/Menu.h"

class StatusItem;
using StatusItemRef = std::shared_ptr<StatusItem>;

// A length that follows the item's content.
constexpr double kVariableStatusItemLength = -1.0;

class StatusItem {
public:
    double length() const { return length_; }
    void setLength(double length);

    const ImageRef& image() const { return image_; }
    void setImage(ImageRef image);
    const AttributedString& attributedTitle() const { return title_; }
    void setAttributedTitle(const AttributedString& title);
    const std::string& title() const { return title_.string(); }
    // A plain title in the menu-bar font.
    void setTitle(const std::string& title);
    // Shown when the pointer rests on the item (not while its menu is open);
    // lines are separated by "\n". Empty for none.
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(const std::string& text);

    const MenuRef& menu() const { return menu_; }
    void setMenu(MenuRef menu);
    bool highlightMode() const { return highlightMode_; }
    void setHighlightMode(bool on);

    // True while the item's menu is open.
    bool isMenuDown() const { return menuDown_; }
    // The user clicks the item: its menu opens (a presenter shows it).
    void userOpenMenu();
    // The menu closes again.
    void userCloseMenu();

    // Called after every change of image, title, length or menu state.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

private:
    friend class StatusBar;
    StatusItem() = default;
    void changed();

    double length_ = kVariableStatusItemLength;
    ImageRef image_;
    AttributedString title_;
    std::string toolTip_;
    MenuRef menu_;
    bool highlightMode_ = false;
    bool menuDown_ = false;
    std::function<void()> changed_;
};

class StatusBar {
public:
    static StatusBar& systemStatusBar();

    StatusItemRef statusItemWithLength(double length);
    void removeStatusItem(const StatusItemRef& item);
    const std::vector<StatusItemRef>& items() const { return items_; }
    // The height of the bar, in points.
    double thickness() const { return 22.0; }

    // Called with each item as it is handed out (the presenter shows it).
    void setItemAddedHandler(std::function<void(const StatusItemRef&)> handler);
    void setItemRemovedHandler(std::function<void(const StatusItemRef&)> handler);

private:
    std::vector<StatusItemRef> items_;
    std::function<void(const StatusItemRef&)> added_;
    std::function<void(const StatusItemRef&)> removed_;
};
