#include "platform/ui/View.h"

#include <algorithm>

#include "util/DisplayText.h"
#include "platform/UIChanges.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Window.h"

View::View(Rect frame) : frame_(frame) {}

View::~View() {
    for (auto& v : subviews_) v->superview_ = nullptr;
}

void View::setFrame(const Rect& frame) {
    const Size old = frame_.size;
    frame_ = frame;
    if (autoresizesSubviews_ && (old.width != frame.width() || old.height != frame.height())) resizeSubviews(old);
    noteUIChange();
}

void View::resizeSubviews(Size oldSize) {
    for (const ViewRef& v : subviews_) v->resizeWithOldSuperviewSize(oldSize, frame_.size);
}

namespace {

// Shares a change of length among the stretchable parts of one axis:
// returns how much the origin moves and the size grows.
std::pair<double, double> stretch(double delta, bool minMargin, bool size, bool maxMargin) {
    const int parts = int(minMargin) + int(size) + int(maxMargin);
    if (parts == 0) return {0, 0};
    const double share = delta / parts;
    return {minMargin ? share : 0, size ? share : 0};
}

}  // namespace

void View::resizeWithOldSuperviewSize(Size oldSuperSize, Size newSuperSize) {
    if (autoresizing_ == kViewNotSizable) return;
    const auto [dx, dw] = stretch(newSuperSize.width - oldSuperSize.width, autoresizing_ & kViewMinXMargin,
                                  autoresizing_ & kViewWidthSizable, autoresizing_ & kViewMaxXMargin);
    const auto [dy, dh] = stretch(newSuperSize.height - oldSuperSize.height, autoresizing_ & kViewMinYMargin,
                                  autoresizing_ & kViewHeightSizable, autoresizing_ & kViewMaxYMargin);
    if (dx == 0 && dw == 0 && dy == 0 && dh == 0) return;
    setFrame({frame_.x() + dx, frame_.y() + dy, std::max(0.0, frame_.width() + dw), std::max(0.0, frame_.height() + dh)});
}

void View::setFrameSize(Size size) { setFrame({frame_.origin, size}); }

void View::setFrameOrigin(Point origin) { setFrame({origin, frame_.size}); }

void View::setHidden(bool hidden) {
    hidden_ = hidden;
    noteUIChange();
}

void View::addSubview(const ViewRef& view) {
    if (!view || view.get() == this) return;
    ViewRef keep = view;
    view->removeFromSuperview();
    subviews_.push_back(view);
    view->superview_ = this;
    noteUIChange();
}

void View::removeFromSuperview() {
    if (!superview_) return;
    auto& siblings = superview_->subviews_;
    ViewRef keep = shared_from_this();
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [this](const ViewRef& v) { return v.get() == this; }),
                   siblings.end());
    superview_ = nullptr;
    noteUIChange();
}

void View::replaceSubview(const View* old, const ViewRef& replacement) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [old](const ViewRef& v) { return v.get() == old; });
    if (it == subviews_.end() || !replacement) return;
    ViewRef keep = replacement;
    replacement->removeFromSuperview();
    it = std::find_if(subviews_.begin(), subviews_.end(), [old](const ViewRef& v) { return v.get() == old; });
    (*it)->superview_ = nullptr;
    *it = replacement;
    replacement->superview_ = this;
    noteUIChange();
}

Window* View::window() const {
    const View* v = this;
    while (v->superview_) v = v->superview_;
    return v->window_;
}

ViewRef View::findView(const std::string& identifier) {
    if (identifier_ == identifier) return shared_from_this();
    for (auto& v : subviews_)
        if (ViewRef found = v->findView(identifier)) return found;
    return nullptr;
}

void View::setNextKeyView(const ViewRef& view) {
    nextKeyView_ = view;
    noteUIChange();
}

void View::setLabelledBy(const ViewRef& label) {
    labelledBy_ = label;
    noteUIChange();
}

void View::setAccessibilityLabel(const std::string& name) {
    accessibilityLabel_ = toDisplayText(name);
    noteUIChange();
}

std::string View::accessibilityName() const {
    const ViewRef label = labelledBy();
    if (auto field = std::dynamic_pointer_cast<TextField>(label)) return field->stringValue();
    if (auto button = std::dynamic_pointer_cast<Button>(label)) return button->title();
    return accessibilityLabel_;
}

void View::display() {
    ++displays_;
    needsDisplay_ = false;
    if (UIPresenter* presenter = Application::shared().presenter()) presenter->displayView(*this);
}

void View::setNeedsDisplay(bool needs) {
    needsDisplay_ = needs;
    if (needs) noteUIChange();
}

Box::Box(Rect frame) : View(frame) {}

void Box::setTitle(const std::string& title) {
    title_ = toDisplayText(title);
    noteUIChange();
}

void Box::setContentView(const ViewRef& view) {
    if (content_) content_->removeFromSuperview();
    content_ = view;
    if (view) addSubview(view);
}

void Box::sizeToFit() {
    double w = 0, h = 0;
    for (const auto& v : subviews()) {
        w = std::max(w, v->frame().maxX());
        h = std::max(h, v->frame().maxY());
    }
    setFrameSize({w + 2 * margins_.width, h + 2 * margins_.height});
}

void ScrollView::setDocumentView(const ViewRef& view) {
    if (document_) document_->removeFromSuperview();
    document_ = view;
    if (view) addSubview(view);
}
