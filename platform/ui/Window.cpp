#include "platform/ui/Window.h"

#include <algorithm>

#include "util/DisplayText.h"
#include "platform/UIChanges.h"

WindowRef Window::create(Rect frame, const std::string& title) {
    WindowRef w(new Window(frame, title));
    Application::shared().add(w.get());
    return w;
}

Window::Window(Rect frame, const std::string& title) : title_(toDisplayText(title)), frame_(frame) {
    setContentView(std::make_shared<View>(Rect{0, 0, frame.width(), frame.height()}));
}

Window::~Window() {
    if (content_) content_->window_ = nullptr;
    Application::shared().remove(this);
}

void Window::setTitle(const std::string& title) {
    title_ = toDisplayText(title);
    noteUIChange();
}

void Window::setFrame(const Rect& frame, bool, bool animate) {
    frame_ = frame;
    animated_ = animate;
    if (content_) content_->setFrameSize(frame.size);
    noteUIChange();
}

void Window::setContentView(const ViewRef& view) {
    if (content_) content_->window_ = nullptr;
    content_ = view;
    if (view) {
        view->removeFromSuperview();
        view->window_ = this;
    }
    noteUIChange();
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow() == this; }

void Window::makeKeyAndOrderFront() {
    Application& app = Application::shared();
    app.key_ = this;
    if (!isSheet()) app.main_ = this;
    ++orderFrontRequests_;
    noteUIChange();
    orderFront();
}

void Window::orderFront() {
    if (visible_) return;
    visible_ = true;
    if (!shownOnce_) {
        shownOnce_ = true;
        if (ViewRef initial = initialFirstResponder(); initial && !firstResponder()) makeFirstResponder(initial);
    }
    Application::shared().visibilityChanged(*this);
}

void Window::orderOut() {
    if (!visible_) return;
    visible_ = false;
    Application& app = Application::shared();
    // The main window becomes key again when a sheet or panel goes away.
    if (app.key_ == this) app.key_ = app.main_ != this && app.mainWindow() ? app.main_ : nullptr;
    app.visibilityChanged(*this);
}

void Window::close() {
    WindowRef keep = shared_from_this();
    if (willClose_) willClose_(*this);
    orderOut();
}

void Window::setDeletable(bool deletable) {
    deletable_ = deletable;
    noteUIChange();
}

bool Window::performClose() {
    if (attachedSheet_ && attachedSheet_->isVisible()) return false;
    WindowRef keep = shared_from_this();
    if (closeRequest_)
        closeRequest_(*this);
    else
        close();
    return true;
}

void Window::setDefaultButton(const ViewRef& button) {
    defaultButton_ = button;
    noteUIChange();
}

bool Window::makeFirstResponder(const ViewRef& view) {
    if (view && view->window() != this) return false;
    firstResponder_ = view;
    ++firstResponderRequests_;
    noteUIChange();
    return true;
}

void Window::setToolbar(std::shared_ptr<Toolbar> toolbar) {
    toolbar_ = std::move(toolbar);
    if (toolbar_) toolbar_->items();
    noteUIChange();
}

Application& Application::shared() {
    static Application app;
    return app;
}

void Application::add(Window* w) { windows_.push_back(w); }

void Application::remove(Window* w) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
    if (key_ == w) key_ = nullptr;
    if (main_ == w) main_ = nullptr;
    for (Window* other : windows_)
        if (other->sheetParent_ == w) other->sheetParent_ = nullptr;
}

std::vector<WindowRef> Application::windows() const {
    std::vector<WindowRef> out;
    for (Window* w : windows_)
        if (auto ref = w->weak_from_this().lock()) out.push_back(ref);
    return out;
}

Window* Application::mainWindow() const { return main_ && main_->isVisible() ? main_ : nullptr; }

void Application::activateIgnoringOtherApps(bool) { ++activations_; }

void Application::terminate() {
    terminated_ = true;
    if (terminate_) terminate_();
}

void Application::visibilityChanged(Window& w) {
    noteUIChange();
    if (presenter_) presenter_->windowVisibilityChanged(w);
}

void Application::beginSheet(const WindowRef& sheet, Window* parent, std::function<void(int)> didEnd) {
    if (!sheet) return;
    sheet->sheetDidEnd_ = std::move(didEnd);
    if (parent && parent != sheet.get() && !parent->attachedSheet_) {
        sheet->sheetParent_ = parent;
        parent->attachedSheet_ = sheet;
    }
    sheet->makeKeyAndOrderFront();
}

void Application::endSheet(Window& sheet, int returnCode) {
    WindowRef keep = sheet.shared_from_this();
    if (Window* parent = sheet.sheetParent_) {
        parent->attachedSheet_.reset();
        sheet.sheetParent_ = nullptr;
    }
    auto didEnd = std::move(sheet.sheetDidEnd_);
    sheet.sheetDidEnd_ = nullptr;
    if (didEnd) didEnd(returnCode);
}

void Application::reset() {
    for (Window* w : windows_) {
        w->visible_ = false;
        w->sheetParent_ = nullptr;
        w->attachedSheet_.reset();
    }
    key_ = main_ = nullptr;
    activations_ = 0;
    terminated_ = false;
    terminate_ = nullptr;
    alerts_.clear();
}
