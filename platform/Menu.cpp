#include "platform/Menu.h"

#include <iostream>

#include "util/DisplayText.h"
#include "platform/UIChanges.h"

MenuItemRef MenuItem::create(const std::string& title, const std::string& keyEquivalent) {
    MenuItemRef item(new MenuItem);
    item->title_ = toDisplayText(title);
    item->keyEquivalent_ = keyEquivalent;
    return item;
}

MenuItemRef MenuItem::separatorItem() {
    MenuItemRef item(new MenuItem);
    item->separator_ = true;
    item->enabled_ = false;
    return item;
}

void MenuItem::setTitle(const std::string& title) {
    title_ = toDisplayText(title);
    noteUIChange();
}

void MenuItem::setImage(ImageRef image) {
    image_ = std::move(image);
    label_.reset();
    noteUIChange();
}

void MenuItem::setLabelPicture(LabelPicture label) {
    image_ = label.render();
    label_ = std::make_shared<const LabelPicture>(std::move(label));
    noteUIChange();
}

const std::string& MenuItem::imageText() const {
    static const std::string none;
    return label_ ? label_->text.string() : none;
}

const ImageRef& MenuItem::imageIcon() const {
    static const ImageRef none;
    return label_ ? label_->icon : none;
}

std::string MenuItem::lineText() const {
    const std::string& label = imageText();
    if (label.empty()) return title_;
    if (title_.empty()) return label;
    return label + " " + title_;
}

void MenuItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    noteUIChange();
}

void MenuItem::setTag(int tag) { tag_ = tag; }

void MenuItem::setState(int state) {
    state_ = state;
    noteUIChange();
}

void MenuItem::setRepresentedObject(plist::Value v) { represented_ = std::move(v); }

void MenuItem::setSubmenu(MenuRef submenu) {
    submenu_ = std::move(submenu);
    noteUIChange();
}

void MenuItem::setTarget(const void* target) { action_.setTarget(target); }

void MenuItem::setAction(const std::string& name, TargetAction<MenuItem>::Handler handler) {
    action_.setAction(name, std::move(handler));
}

bool MenuItem::userChoose() {
    if (!enabled_ || separator_) return false;
    // Keep the item alive while its action runs: the action may remove it.
    MenuItemRef keep = shared_from_this();
    return action_.send(*this);
}

MenuRef Menu::create(const std::string& title) { return MenuRef(new Menu(title)); }

Menu::~Menu() {
    for (auto& item : items_) item->menu_ = nullptr;
}

MenuItemRef Menu::itemAtIndex(int index) const {
    if (index < 0 || index >= numberOfItems()) return nullptr;
    return items_[static_cast<size_t>(index)];
}

MenuItemRef Menu::itemWithTag(int tag) const {
    const int i = indexOfItemWithTag(tag);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)];
}

MenuItemRef Menu::itemWithTitle(const std::string& title) const {
    const std::string t = toDisplayText(title);
    for (const auto& item : items_)
        if (item->title() == t) return item;
    return nullptr;
}

int Menu::indexOfItem(const MenuItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
}

int Menu::indexOfItemWithTag(int tag) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (!items_[i]->isSeparatorItem() && items_[i]->tag() == tag) return static_cast<int>(i);
    return -1;
}

bool Menu::insertItem(const MenuItemRef& item, int index) {
    if (!item || index < 0 || index > numberOfItems()) {
        std::cerr << "Menu \"" << title_ << "\": cannot insert an item at index " << index << " of "
                  << numberOfItems() << std::endl;
        return false;
    }
    MenuItemRef keep = item;
    if (item->menu_) {
        Menu* old = item->menu_;
        const int at = old->indexOfItem(item.get());
        if (old == this && at >= 0 && at < index) --index;
        old->removeItem(item.get());
    }
    items_.insert(items_.begin() + index, item);
    item->menu_ = this;
    noteUIChange();
    return true;
}

void Menu::addItem(const MenuItemRef& item) { insertItem(item, numberOfItems()); }

MenuItemRef Menu::addItem(const std::string& title, const std::string& keyEquivalent) {
    MenuItemRef item = MenuItem::create(title, keyEquivalent);
    addItem(item);
    return item;
}

bool Menu::removeItemAtIndex(int index) {
    if (index < 0 || index >= numberOfItems()) {
        std::cerr << "Menu \"" << title_ << "\": no item at index " << index << " of " << numberOfItems()
                  << " to remove" << std::endl;
        return false;
    }
    items_[static_cast<size_t>(index)]->menu_ = nullptr;
    items_.erase(items_.begin() + index);
    noteUIChange();
    return true;
}

void Menu::removeItem(const MenuItem* item) {
    const int i = indexOfItem(item);
    if (i >= 0) removeItemAtIndex(i);
}

void Menu::removeAllItems() {
    for (auto& item : items_) item->menu_ = nullptr;
    items_.clear();
    noteUIChange();
}

void Menu::endChanges() {
    if (changing_ == 0) return;
    // The settled menu is a change of its own for presenters that waited.
    if (--changing_ == 0) noteUIChange();
}
