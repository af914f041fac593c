#include "platform/ui/Controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "util/CLocaleScope.h"
#include "util/DisplayText.h"
#include "platform/UIChanges.h"
#include "platform/ui/Window.h"

void Control::setEnabled(bool enabled) {
    enabled_ = enabled;
    noteUIChange();
}

void Control::setStringValue(const std::string& s) {
    string_ = toDisplayText(s);
    noteUIChange();
}

int Control::intValue() const {
    const double v = floatValue();
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
}

void Control::setIntValue(int v) { setStringValue(std::to_string(v)); }

double Control::floatValue() const { return strtodInCLocale(stringValue().c_str()); }

void Control::setFloatValue(double v) {
    char buf[64];
    formatInCLocale(buf, sizeof buf, "%g", v);
    setStringValue(buf);
}

void Cell::setTitle(const std::string& t) {
    title_ = toDisplayText(t);
    noteUIChange();
}

void Cell::setState(int s) {
    state_ = s;
    noteUIChange();
}

void Cell::setEnabled(bool e) {
    enabled_ = e;
    noteUIChange();
}

void Cell::setImage(ImageRef i) {
    image_ = std::move(i);
    noteUIChange();
}

int ButtonCell::nextState() const {
    if (state() == kOffState) return kOnState;
    if (state() == kOnState && mixed_) return kMixedState;
    return kOffState;
}

Button::Button(Rect frame, ButtonType type) : Control(frame), type_(type) {}

void Button::setTitle(const std::string& t) {
    title_ = toDisplayText(t);
    noteUIChange();
}

void Button::setState(int s) {
    state_ = s;
    noteUIChange();
}

void Button::setImage(ImageRef i) {
    image_ = std::move(i);
    noteUIChange();
}

bool Button::userClick() {
    if (!isEnabled() || isHidden()) return false;
    if (type_ == ButtonType::Switch || type_ == ButtonType::Toggle) {
        if (state_ == kOffState)
            setState(kOnState);
        else if (state_ == kOnState && mixed_)
            setState(kMixedState);
        else
            setState(kOffState);
    } else if (type_ == ButtonType::Radio) {
        setState(kOnState);
    }
    return sendAction();
}

PopUpButton::PopUpButton(Rect frame) : Button(frame), menu_(Menu::create()) {}

MenuItemRef PopUpButton::addItemWithTitle(const std::string& title) {
    MenuItemRef item = menu_->addItem(title);
    if (!selected_) selected_ = item.get();
    noteUIChange();
    return item;
}

void PopUpButton::removeAllItems() {
    menu_->removeAllItems();
    selected_ = nullptr;
}

int PopUpButton::indexOfSelectedItem() const { return selected_ ? menu_->indexOfItem(selected_) : -1; }

MenuItemRef PopUpButton::selectedItem() const { return menu_->itemAtIndex(indexOfSelectedItem()); }

std::string PopUpButton::titleOfSelectedItem() const {
    MenuItemRef item = selectedItem();
    return item ? item->title() : "";
}

void PopUpButton::selectItemAtIndex(int i) {
    MenuItemRef item = menu_->itemAtIndex(i);
    selected_ = item.get();
    noteUIChange();
}

bool PopUpButton::selectItemWithTag(int tag) {
    const int i = menu_->indexOfItemWithTag(tag);
    if (i < 0) return false;
    selectItemAtIndex(i);
    return true;
}

bool PopUpButton::selectItemWithTitle(const std::string& title) {
    MenuItemRef item = menu_->itemWithTitle(title);
    if (!item) return false;
    selectItemAtIndex(menu_->indexOfItem(item.get()));
    return true;
}

bool PopUpButton::userSelect(int index) {
    MenuItemRef item = menu_->itemAtIndex(index);
    if (!isEnabled() || !item || !item->isEnabled() || item->isSeparatorItem()) return false;
    selectItemAtIndex(index);
    return sendAction();
}

Matrix::Matrix(Rect frame, int rows, int columns, ButtonType type)
    : Control(frame), rows_(std::max(rows, 0)), columns_(std::max(columns, 0)) {
    for (int i = 0; i < rows_ * columns_; ++i) cells_.push_back(std::make_shared<ButtonCell>(type));
}

std::shared_ptr<ButtonCell> Matrix::cellAtRow(int row, int column) const {
    if (row < 0 || column < 0 || row >= rows_ || column >= columns_) return nullptr;
    return cells_[static_cast<size_t>(row * columns_ + column)];
}

bool Matrix::userClickCell(int row, int column) {
    auto cell = cellAtRow(row, column);
    if (!cell || !isEnabled() || !cell->isEnabled()) return false;
    cell->setState(cell->nextState());
    selected_ = cell;
    return sendAction();
}

Slider::Slider(Rect frame, double minValue, double maxValue)
    : Control(frame), min_(minValue), max_(maxValue), value_(minValue) {}

void Slider::setFloatValue(double v) {
    value_ = std::isnan(v) ? min_ : std::clamp(v, std::min(min_, max_), std::max(min_, max_));
    noteUIChange();
}

std::string Slider::stringValue() const {
    char buf[64];
    formatInCLocale(buf, sizeof buf, "%g", value_);
    return buf;
}

void Slider::setStringValue(const std::string& s) { setFloatValue(strtodInCLocale(s.c_str())); }

bool Slider::userSlide(double value) {
    if (!isEnabled()) return false;
    setFloatValue(value);
    return sendAction();
}

TextField::TextField(Rect frame) : Control(frame) {}

void TextField::setStringValue(const std::string& s) {
    editing_ = false;
    Control::setStringValue(s);
}

void TextField::setAlignment(TextAlignment a) {
    alignment_ = a;
    noteUIChange();
}

bool TextField::userType(const std::string& text) {
    if (!isEnabled() || !editable_) return false;
    const bool begins = !editing_;
    editing_ = true;
    string_ = toDisplayText(text);
    noteUIChange();
    if (begins && beginEditing_) beginEditing_(*this);
    return true;
}

bool TextField::userPressReturn() {
    if (!isEnabled()) return false;
    editing_ = false;
    WindowRef window = this->window() ? this->window()->shared_from_this() : nullptr;
    const bool sent = sendAction();
    // Then the window's default button, as a click.
    if (window)
        if (auto button = dynamic_cast<Button*>(window->defaultButton()); button && button->isEnabled())
            return button->userClick() || sent;
    return sent;
}

void ImageView::setImage(ImageRef i) {
    image_ = std::move(i);
    noteUIChange();
}

void TextView::setString(const std::string& s) {
    text_ = toDisplayText(s);
    noteUIChange();
}

void TextView::setAlignment(TextAlignment a) {
    alignment_ = a;
    noteUIChange();
}

void ProgressIndicator::startAnimation() {
    animating_ = true;
    noteUIChange();
}

void ProgressIndicator::stopAnimation() {
    animating_ = false;
    noteUIChange();
}
