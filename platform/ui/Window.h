#pragma once
// Headless windows and the application that lists them. Windows are shown,
// made key, run as sheets on other windows and closed; a presenter (when one
// is attached) shows them on the desktop.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Geometry.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"

class Window;
class Alert;
using WindowRef = std::shared_ptr<Window>;
using AlertRef = std::shared_ptr<Alert>;

class Window : public std::enable_shared_from_this<Window> {
public:
    // A hidden window with an empty content view of the frame's size.
    static WindowRef create(Rect frame, const std::string& title = "");
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);
    const Rect& frame() const { return frame_; }
    // Moves and resizes the window (the content view takes the new size);
    // `animate` is recorded for presenters.
    void setFrame(const Rect& frame, bool display = true, bool animate = false);
    bool lastFrameChangeAnimated() const { return animated_; }

    const ViewRef& contentView() const { return content_; }
    // Null detaches the content view (it lives on with whoever holds it).
    void setContentView(const ViewRef& view);

    bool isVisible() const { return visible_; }
    bool isKeyWindow() const;
    // Shows the window, or brings it forward (un-minimised, raised) when it
    // is already shown, and makes it key.
    void makeKeyAndOrderFront();
    // Counts makeKeyAndOrderFront calls, so a presenter brings the window
    // forward once per request.
    uint64_t orderFrontRequests() const { return orderFrontRequests_; }
    void orderFront();
    void orderOut();
    // Hides the window and tells the close handler.
    void close();
    void setWillCloseHandler(std::function<void(Window&)> h) { willClose_ = std::move(h); }

    // Whether the title bar offers a close button.
    bool isDeletable() const { return deletable_; }
    void setDeletable(bool deletable);
    // What closing from the desktop does (title-bar button, window manager):
    // the window's own closing path; without a handler the window closes.
    void setCloseRequestHandler(std::function<void(Window&)> h) { closeRequest_ = std::move(h); }
    // The desktop asks the window to close. A window with a sheet attached
    // stays; false when nothing happened.
    bool performClose();

    // The button that Return presses when the focused control does not use
    // the key itself (a text field sends its own action first).
    View* defaultButton() const { return defaultButton_.lock().get(); }
    void setDefaultButton(const ViewRef& button);

    // The view that takes the keyboard; null for none.
    View* firstResponder() const { return firstResponder_.lock().get(); }
    // False for a view outside this window.
    bool makeFirstResponder(const ViewRef& view);
    // Counts makeFirstResponder calls, so a presenter moves the focus once per request.
    uint64_t firstResponderRequests() const { return firstResponderRequests_; }
    // Becomes the first responder when the window is first shown.
    void setInitialFirstResponder(const ViewRef& view) { initialFirstResponder_ = view; }
    ViewRef initialFirstResponder() const { return initialFirstResponder_.lock(); }

    // Sheets: a window shown attached to another (see Application::beginSheet).
    bool isSheet() const { return sheetParent_ != nullptr; }
    Window* sheetParent() const { return sheetParent_; }
    const WindowRef& attachedSheet() const { return attachedSheet_; }

    const std::shared_ptr<Toolbar>& toolbar() const { return toolbar_; }
    // The toolbar's items are made now.
    void setToolbar(std::shared_ptr<Toolbar> toolbar);

private:
    friend class Application;
    Window(Rect frame, const std::string& title);

    std::string title_;
    Rect frame_;
    bool animated_ = false;
    ViewRef content_;
    bool visible_ = false;
    Window* sheetParent_ = nullptr;
    WindowRef attachedSheet_;
    std::function<void(int)> sheetDidEnd_;
    std::function<void(Window&)> willClose_;
    std::function<void(Window&)> closeRequest_;
    bool deletable_ = true;
    bool shownOnce_ = false;
    std::weak_ptr<View> defaultButton_;
    std::weak_ptr<View> firstResponder_;
    std::weak_ptr<View> initialFirstResponder_;
    uint64_t firstResponderRequests_ = 0;
    uint64_t orderFrontRequests_ = 0;
    std::shared_ptr<Toolbar> toolbar_;
};

// What a desktop presenter hears of; headless runs have none.
class UIPresenter {
public:
    virtual ~UIPresenter() = default;
    virtual void windowVisibilityChanged(Window& window) = 0;
    virtual void alertShown(const AlertRef& alert) = 0;
    virtual void alertEnded(Alert& alert) = 0;
    // Draws the view's window now (View::display).
    virtual void displayView(View&) {}
};

class Application {
public:
    static Application& shared();

    // Every window that exists, in the order they were made.
    std::vector<WindowRef> windows() const;
    Window* keyWindow() const { return key_; }
    // The last window that was key and is not a sheet, when still visible.
    Window* mainWindow() const;

    void activateIgnoringOtherApps(bool ignoring);
    int activationCount() const { return activations_; }

    // Ends the application: the handler runs (a program quits its main loop there).
    void terminate();
    bool isTerminated() const { return terminated_; }
    void setTerminateHandler(std::function<void()> h) { terminate_ = std::move(h); }

    // Shows `sheet` attached to `parent`; endSheet runs didEnd with the code.
    // A parent that already has a sheet, or none, shows the window on its own.
    void beginSheet(const WindowRef& sheet, Window* parent, std::function<void(int)> didEnd = {});
    void endSheet(Window& sheet, int returnCode);

    // Every alert shown, in order.
    const std::vector<AlertRef>& alerts() const { return alerts_; }
    void clearAlerts() { alerts_.clear(); }

    void setPresenter(UIPresenter* p) { presenter_ = p; }
    UIPresenter* presenter() const { return presenter_; }

    // Forgets every window, alert and state (tests start afresh).
    void reset();

private:
    friend class Window;
    friend class Alert;
    void add(Window* w);
    void remove(Window* w);
    void visibilityChanged(Window& w);

    std::vector<Window*> windows_;
    Window* key_ = nullptr;
    Window* main_ = nullptr;
    int activations_ = 0;
    bool terminated_ = false;
    std::function<void()> terminate_;
    std::vector<AlertRef> alerts_;
    UIPresenter* presenter_ = nullptr;
};
