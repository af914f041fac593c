#pragma once
// Shows the user-interface model on the desktop with GTK 3: status items as
// StatusNotifierItems or tray icons with real menus, windows with their controls, alerts as
// dialogs. The model stays the truth: the user's gestures on GTK widgets
// become the model's user* operations, and every change of the model is
// brought to the widgets on the GLib main loop.

#include <gtk/gtk.h>

#include <map>
#include <memory>

#include "platform/Menu.h"
#include "platform/StatusBar.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Window.h"

class StatusItemView;

class GtkPresenter : public UIPresenter {
public:
    // Opens the display; false when there is none (the program then runs headless).
    static bool initialize();

    // Attaches to the application and the status bar; one presenter at a time.
    GtkPresenter();
    ~GtkPresenter() override;
    GtkPresenter(const GtkPresenter&) = delete;
    GtkPresenter& operator=(const GtkPresenter&) = delete;

    // Brings every widget up to the model now (a timer does it after changes).
    void sync();

    // What shows a part of the model (null when nothing does), for tests.
    GtkWindow* windowFor(const Window* window) const;
    GtkWidget* widgetFor(const View* view) const;
    StatusItemView* statusItemViewFor(const StatusItem* item) const;
    // The tray icon and the popped-up menu of an item shown in the tray.
    GtkStatusIcon* statusIconFor(const StatusItem* item) const;
    GtkWidget* menuFor(const StatusItem* item) const;
    GtkWidget* dialogFor(const Alert* alert) const;

    void windowVisibilityChanged(Window& window) override;
    void alertShown(const AlertRef& alert) override;
    void alertEnded(Alert& alert) override;
    // Lays out and paints the view's window before returning.
    void displayView(View& view) override;

    struct WindowEntry;

private:
    void syncWindow(const WindowRef& window);
    void syncToolbar(WindowEntry& entry, const WindowRef& window);
    // Moves the GTK focus to the model's first responder, once per request.
    static void syncFocus(WindowEntry& entry, Window& window);
    // Tab and Shift-Tab follow the model's key-view links where there are any.
    static bool moveKeyFocus(WindowEntry& entry, Window& window, GdkEventKey* key);
    void syncStatusItem(const StatusItemRef& item);
    void addStatusItem(const StatusItemRef& item);
    void removeStatusItem(const StatusItemRef& item);

    std::map<const Window*, std::unique_ptr<WindowEntry>> windows_;
    std::map<const StatusItem*, std::unique_ptr<StatusItemView>> items_;
    std::map<const Alert*, GtkWidget*> dialogs_;
    guint timer_ = 0;
    uint64_t shownChanges_ = 0;
};
