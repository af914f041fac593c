#include "app/menuextra/ComTeskMenuExtra.h"

#include "platform/Color.h"

ComTeskMenuExtraView::ComTeskMenuExtraView(Rect frame, ComTeskMenuExtra* menuExtra)
    : MenuExtraView(frame), menuExtra_(menuExtra) {}

void ComTeskMenuExtraView::drawRect(ImageCanvas& canvas, const Rect& rect, bool menuDown) {
    MenuExtraView::drawRect(canvas, rect, menuDown);
    AttributedString title = menuExtra_->attributedTitle();
    if (!title.empty()) title.setColor(menuDown ? Color::white() : Color::black());
    const ImageRef& image = menuExtra_->image();
    if (!image && title.empty()) return;
    const double t = menuBarThickness_;
    double x = 0;
    if (image && image->size().height > 0) {
        const double w = (t - 3) * image->size().width / image->size().height;
        canvas.drawImage(*image, Rect(0, 2, w, t - 3), 1.0);
        x = w;
    }
    if (!title.empty()) canvas.drawText(title, Point{x + 2, 1 + t / 2 - title.size().height / 2});
}

void ComTeskMenuExtraView::autoSetLength() {
    double width = 0;
    const ImageRef& image = menuExtra_->image();
    if (image && image->size().height > 0)
        width += menuBarThickness_ * image->size().width / image->size().height;
    if (!menuExtra_->attributedTitle().empty()) width += menuExtra_->attributedTitle().size().width;
    setFrameSize(Size{width, frame().size.height});
    menuExtra_->setLength(frame().size.width);
}

bool ComTeskMenuExtra::initWithBundle(const std::string& bundlePath, StatusItemRef hostItem) {
    attribTitle_ = AttributedString();
    image_.reset();
    if (!MenuExtra::initWithBundle(bundlePath, std::move(hostItem))) return false;
    const double height = ComTeskMenuExtraView::kMenuBarThickness;
    setView(std::make_unique<ComTeskMenuExtraView>(Rect(0, 0, length() > 0 ? length() : 0, height), this));
    return true;
}

void ComTeskMenuExtra::changed() {
    if (auto* v = dynamic_cast<ComTeskMenuExtraView*>(view())) v->autoSetLength();
    redraw();
}

void ComTeskMenuExtra::presentInHostItem() {
    const StatusItemRef& item = hostItem();
    if (!item) return;
    // Only what changed: opening the menu redraws the view but changes neither.
    if (item->image() != image_) item->setImage(image_);
    if (!(item->attributedTitle() == attribTitle_)) item->setAttributedTitle(attribTitle_);
}

void ComTeskMenuExtra::setAttributedTitle(const AttributedString& title) {
    attribTitle_ = title;
    changed();
}

void ComTeskMenuExtra::setTitle(const std::string& title) {
    attribTitle_.setString(title);
    changed();
}

void ComTeskMenuExtra::setImage(ImageRef image) {
    if (!image || image == image_) return;
    image_ = std::move(image);
    changed();
}
