#include "platform/StatusBar.h"

#include <algorithm>

#include "platform/UIChanges.h"
#include "util/DisplayText.h"

void StatusItem::changed() {
    noteUIChange();
    if (changed_) changed_();
}

void StatusItem::setLength(double length) {
    length_ = length;
    changed();
}

void StatusItem::setImage(ImageRef image) {
    image_ = std::move(image);
    changed();
}

void StatusItem::setAttributedTitle(const AttributedString& title) {
    title_ = title;
    changed();
}

void StatusItem::setTitle(const std::string& title) {
    TextAttributes attrs;
    attrs.font = Font::menuBarFont(14.0);
    setAttributedTitle(AttributedString(title, attrs));
}

void StatusItem::setToolTip(const std::string& text) {
    std::string shown = toDisplayText(text);
    if (shown == toolTip_) return;
    toolTip_ = std::move(shown);
    changed();
}

void StatusItem::setMenu(MenuRef menu) {
    menu_ = std::move(menu);
    changed();
}

void StatusItem::setHighlightMode(bool on) { highlightMode_ = on; }

void StatusItem::userOpenMenu() {
    if (!menu_ || menuDown_) return;
    menuDown_ = true;
    changed();
}

void StatusItem::userCloseMenu() {
    if (!menuDown_) return;
    menuDown_ = false;
    changed();
}

StatusBar& StatusBar::systemStatusBar() {
    static StatusBar bar;
    return bar;
}

StatusItemRef StatusBar::statusItemWithLength(double length) {
    StatusItemRef item(new StatusItem);
    item->length_ = length;
    items_.push_back(item);
    noteUIChange();
    if (added_) added_(item);
    return item;
}

void StatusBar::removeStatusItem(const StatusItemRef& item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    StatusItemRef keep = *it;
    items_.erase(it);
    noteUIChange();
    if (removed_) removed_(keep);
}

void StatusBar::setItemAddedHandler(std::function<void(const StatusItemRef&)> handler) {
    added_ = std::move(handler);
}

void StatusBar::setItemRemovedHandler(std::function<void(const StatusItemRef&)> handler) {
    removed_ = std::move(handler);
}
