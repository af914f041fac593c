#include "app/menuextra/MenuExtra.h"

#include <algorithm>
#include <cmath>

#include "platform/Color.h"

void MenuExtraView::drawRect(ImageCanvas& canvas, const Rect& rect, bool menuDown) {
    if (menuDown) canvas.fillRect(rect, Color::calibratedRGB(0.2, 0.4, 0.8));
}

void MenuExtraView::display(MenuExtra& extra) {
    if (!extra.hostItem()) return;
    const Size size{std::max(1.0, std::ceil(frame_.size.width)), std::max(1.0, std::ceil(frame_.size.height))};
    ImageRef picture = Image::create(size);
    if (!picture) return;
    {
        ImageCanvas canvas(*picture);
        drawRect(canvas, Rect(Point{0, 0}, size), extra.isMenuDown());
    }
    picture_ = std::move(picture);
}

MenuExtra::~MenuExtra() {
    if (hostItem_) hostItem_->setChangeHandler({});
}

bool MenuExtra::initWithBundle(const std::string& bundlePath, StatusItemRef hostItem) {
    if (!hostItem) return false;
    bundle_ = std::make_unique<Bundle>(bundlePath);
    hostItem_ = std::move(hostItem);
    // Opening and closing the menu redraws the view (the highlight, the title colour).
    hostItem_->setChangeHandler([this] {
        if (hostItem_->isMenuDown() != shownMenuDown_) redraw();
    });
    return true;
}

void MenuExtra::willUnload() {
    if (hostItem_) hostItem_->setChangeHandler({});
}

void MenuExtra::setView(std::unique_ptr<MenuExtraView> view) { view_ = std::move(view); }

void MenuExtra::setLength(double length) {
    if (hostItem_) hostItem_->setLength(length);
}

void MenuExtra::redraw() {
    shownMenuDown_ = isMenuDown();
    if (view_) view_->display(*this);
    presentInHostItem();
}

void MenuExtra::presentInHostItem() {
    if (hostItem_ && view_ && view_->picture()) hostItem_->setImage(view_->picture());
}
