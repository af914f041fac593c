#pragma once
// Menus and menu items as a model the program builds and tests inspect; a
// presenter shows it on the desktop.

#include <memory>
#include <string>
#include <vector>

#include "platform/AttributedString.h"
#include "platform/Image.h"
#include "platform/LabelPicture.h"
#include "platform/TargetAction.h"
#include "util/plist/Value.h"

class Menu;
class MenuItem;
using MenuRef = std::shared_ptr<Menu>;
using MenuItemRef = std::shared_ptr<MenuItem>;

class MenuItem : public std::enable_shared_from_this<MenuItem> {
public:
    static MenuItemRef create(const std::string& title = "", const std::string& keyEquivalent = "");
    static MenuItemRef separatorItem();

    // Titles are converted for display (toDisplayText) on the way in.
    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);
    const ImageRef& image() const { return image_; }
    // Setting the image forgets its label (below).
    void setImage(ImageRef image);
    // A label picture as the image: the image is the label drawn in the
    // text's own colour, and the label is kept, so that presenters can draw
    // it themselves (in their theme's text colour, at their display's scale)
    // and show its text where they show no pictures.
    void setLabelPicture(LabelPicture label);
    // The label the image shows, or null for an image that is a picture only.
    const std::shared_ptr<const LabelPicture>& labelPicture() const { return label_; }
    // The label's text and icon; empty and null without a label.
    const std::string& imageText() const;
    const ImageRef& imageIcon() const;
    // The whole line as words: the label's text, a space, the title. This is
    // what panels that draw the menu themselves and screen readers are given.
    std::string lineText() const;
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int tag() const { return tag_; }
    void setTag(int tag);
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    bool isSeparatorItem() const { return separator_; }
    // 0 off, 1 on (a check mark), -1 mixed.
    int state() const { return state_; }
    void setState(int state);

    const plist::Value& representedObject() const { return represented_; }
    void setRepresentedObject(plist::Value v);

    const MenuRef& submenu() const { return submenu_; }
    void setSubmenu(MenuRef submenu);
    bool hasSubmenu() const { return static_cast<bool>(submenu_); }
    // The menu the item is in, or null.
    Menu* menu() const { return menu_; }

    void setTarget(const void* target);
    const void* target() const { return action_.target(); }
    void setAction(const std::string& name, TargetAction<MenuItem>::Handler handler);
    const std::string& action() const { return action_.action(); }

    // What choosing the item does: sends its action when it is enabled.
    bool userChoose();

private:
    friend class Menu;
    MenuItem() = default;

    std::string title_;
    ImageRef image_;
    std::shared_ptr<const LabelPicture> label_;
    bool enabled_ = true;
    int tag_ = 0;
    int state_ = 0;
    std::string keyEquivalent_;
    bool separator_ = false;
    plist::Value represented_;
    MenuRef submenu_;
    Menu* menu_ = nullptr;
    TargetAction<MenuItem> action_;
};

class Menu {
public:
    static MenuRef create(const std::string& title = "");
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const std::string& title() const { return title_; }

    int numberOfItems() const { return static_cast<int>(items_.size()); }
    const std::vector<MenuItemRef>& items() const { return items_; }
    // The item at the index, or null out of range.
    MenuItemRef itemAtIndex(int index) const;
    MenuItemRef itemWithTag(int tag) const;
    MenuItemRef itemWithTitle(const std::string& title) const;
    // -1 when the item is not in this menu.
    int indexOfItem(const MenuItem* item) const;
    int indexOfItemWithTag(int tag) const;

    // Inserting moves the item out of any menu it was in. An index outside
    // 0..numberOfItems is refused (false, with a log line) and nothing changes.
    bool insertItem(const MenuItemRef& item, int index);
    void addItem(const MenuItemRef& item);
    // Adds a new item and answers it.
    MenuItemRef addItem(const std::string& title, const std::string& keyEquivalent = "");
    bool removeItemAtIndex(int index);
    void removeItem(const MenuItem* item);
    void removeAllItems();

    // Changes that belong together (a rebuild that removes every line and
    // adds them again): presenters show the menu as it was before the batch
    // began and as it is when the batch ends, never in between. Batches
    // nest; ending one that was never begun does nothing.
    void beginChanges() { ++changing_; }
    void endChanges();
    bool isChanging() const { return changing_ > 0; }

private:
    explicit Menu(std::string title) : title_(std::move(title)) {}
    std::string title_;
    std::vector<MenuItemRef> items_;
    int changing_ = 0;
};
