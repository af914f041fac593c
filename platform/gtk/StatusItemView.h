#pragma once
// Shows one status item on the desktop. Where a StatusNotifierWatcher is on
// the session bus (KDE Plasma, GNOME with the AppIndicator extension, Xfce,
// MATE, Cinnamon, Budgie, LXQt), the item is a StatusNotifierItem with its
// menu exported over the bus; otherwise it is an icon in the X11 system tray
// (XEmbed) with a GTK menu. It follows the watcher as it comes and goes.

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/StatusBar.h"

class DbusMenuExport;
class GtkMenuMirror;
class StatusNotifierItem;

class StatusItemView {
public:
    enum class Shown { Nowhere, NotifierItem, TrayIcon };

    explicit StatusItemView(const StatusItemRef& item);
    ~StatusItemView();
    StatusItemView(const StatusItemView&) = delete;
    StatusItemView& operator=(const StatusItemView&) = delete;

    // Brings the shown item up to the model, its menu too while it is open.
    void sync();
    // Pops up the item's menu as a GTK menu (a tray click, or a panel that
    // activates the item instead of showing the exported menu). The GTK menu
    // follows the model while it is open.
    void openMenu();

    Shown shown() const { return shown_; }
    // The tray icon while the item is shown in the tray, else null.
    GtkStatusIcon* trayIcon() const { return shown_ == Shown::TrayIcon ? trayIcon_ : nullptr; }
    GtkWidget* popupMenu() const;
    const StatusNotifierItem* notifierItem() const { return notifier_.get(); }
    const DbusMenuExport* exportedMenu() const { return menuExport_.get(); }

    // Tool tip of the tray icon: the item's own, or its title when it has none.
    static std::string trayToolTip(const StatusItem& item);

private:
    void watcherAppeared();
    void watcherVanished();
    void showInTray();
    void syncTrayIcon(StatusItem& item);

    std::weak_ptr<StatusItem> item_;
    GDBusConnection* bus_ = nullptr;
    guint watch_ = 0;
    GCancellable* cancel_ = nullptr;
    std::unique_ptr<DbusMenuExport> menuExport_;
    std::unique_ptr<StatusNotifierItem> notifier_;
    GtkStatusIcon* trayIcon_ = nullptr;
    std::unique_ptr<GtkMenuMirror> popup_;
    Shown shown_ = Shown::Nowhere;
};
