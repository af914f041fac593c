#include "platform/ui/View.h"

#include <algorithm>

#include "util/DisplayText.h"
#include "platform/UIChanges.h"

View::View(Rect frame) : frame_(frame) {}

View::~View() {
    for (auto& v : subviews_) v->superview_ = nullptr;
}

void View::setFrame(const Rect& frame) {
    frame_ = frame;
    noteUIChange();
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
