#pragma once
// The headless view tree: views with frames inside a window's content view.
// Frames are in the superview's coordinates, origin bottom-left. When a
// view changes size its subviews follow their autoresizing masks.

#include <memory>
#include <string>
#include <vector>

#include "platform/Geometry.h"

class View;
class Window;
using ViewRef = std::shared_ptr<View>;

// Which parts of a view's place stretch when its superview changes size. A
// view with none keeps its size and its distance from the bottom-left corner.
enum AutoresizingMask : unsigned {
    kViewNotSizable = 0,
    kViewMinXMargin = 1,
    kViewWidthSizable = 2,
    kViewMaxXMargin = 4,
    kViewMinYMargin = 8,  // the bottom margin stretches: the view keeps its top
    kViewHeightSizable = 16,
    kViewMaxYMargin = 32,
};

class View : public std::enable_shared_from_this<View> {
public:
    explicit View(Rect frame = {});
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    const Rect& frame() const { return frame_; }
    void setFrame(const Rect& frame);
    void setFrameSize(Size size);
    void setFrameOrigin(Point origin);

    unsigned autoresizingMask() const { return autoresizing_; }
    void setAutoresizingMask(unsigned mask) { autoresizing_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // A name for finding the view (builder functions and tests use it).
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string id) { identifier_ = std::move(id); }

    View* superview() const { return superview_; }
    const std::vector<ViewRef>& subviews() const { return subviews_; }
    // Adding moves the view out of its old superview.
    void addSubview(const ViewRef& view);
    void removeFromSuperview();
    void replaceSubview(const View* old, const ViewRef& replacement);
    // The window whose content view holds this view, or null.
    Window* window() const;
    // The first view in this tree (this one included) with the identifier.
    ViewRef findView(const std::string& identifier);

    // What a screen reader calls the view. A control with a label beside it
    // (or a heading above it) is named by that label, and the two are linked
    // for assistive technologies; one with none carries a name of its own.
    ViewRef labelledBy() const { return labelledBy_.lock(); }
    void setLabelledBy(const ViewRef& label);
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(const std::string& name);
    // The label's text as it reads now (a text field's text, a button's
    // title), else the view's own name; "" for a view nobody named.
    std::string accessibilityName() const;

    // The view the keyboard focus moves on to (Tab); null for the window's order.
    ViewRef nextKeyView() const { return nextKeyView_.lock(); }
    void setNextKeyView(const ViewRef& view);

    bool needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay(bool needs = true);
    // Clears the flag, as a presenter does once it has drawn the view.
    void displayIfNeeded() { needsDisplay_ = false; }
    // Draws the view now, before returning (for work that holds the event
    // loop); the presenter paints its window. Counted for tests.
    void display();
    int displayCount() const { return displays_; }

private:
    friend class Window;
    void resizeSubviews(Size oldSize);
    void resizeWithOldSuperviewSize(Size oldSuperSize, Size newSuperSize);

    Rect frame_;
    unsigned autoresizing_ = kViewNotSizable;
    bool autoresizesSubviews_ = true;
    std::weak_ptr<View> nextKeyView_;
    std::weak_ptr<View> labelledBy_;
    std::string accessibilityLabel_;
    int displays_ = 0;
    bool hidden_ = false;
    int tag_ = 0;
    std::string identifier_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;  // set on a window's content view
    std::vector<ViewRef> subviews_;
    bool needsDisplay_ = false;
};

// A titled box that holds one content view inside margins.
class Box : public View {
public:
    explicit Box(Rect frame = {});
    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);
    const ViewRef& contentView() const { return content_; }
    void setContentView(const ViewRef& view);
    Size contentViewMargins() const { return margins_; }
    void setContentViewMargins(Size margins) { margins_ = margins; }
    // The box takes the size of its subviews' union plus the margins.
    void sizeToFit();

private:
    std::string title_;
    ViewRef content_;
    Size margins_{5, 5};
};

// A scrolling frame around one document view.
class ScrollView : public View {
public:
    using View::View;
    const ViewRef& documentView() const { return document_; }
    void setDocumentView(const ViewRef& view);

private:
    ViewRef document_;
};
