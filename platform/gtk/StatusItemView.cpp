// GDK's status icon is deprecated in GTK 3 but remains the way to put an
// icon into an X11 system tray, for desktops without a StatusNotifierWatcher.
#define GDK_DISABLE_DEPRECATION_WARNINGS 1

#include "platform/gtk/StatusItemView.h"

#include <iostream>

#include "platform/Bundle.h"
#include "platform/gtk/DbusMenuExport.h"
#include "platform/gtk/GtkImages.h"
#include "platform/gtk/GtkMenuMirror.h"
#include "platform/gtk/GtkSignals.h"
#include "platform/gtk/StatusNotifierItem.h"
#include "platform/gtk/X11Tray.h"

using namespace gtksignals;

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
// Each item's menu has a path of its own on the bus.
std::string newMenuPath() {
    static int items = 0;
    return ++items == 1 ? "/MenuBar" : "/MenuBar/" + std::to_string(items);
}

std::string programName() {
    std::string name = Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleName").stringOr("");
    if (name.empty() && g_get_application_name()) name = g_get_application_name();
    return name.empty() ? "Skyvane" : name;
}

std::string programId() {
    std::string id = Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleIdentifier").stringOr("");
    if (id.empty() && g_get_prgname()) id = g_get_prgname();
    return id.empty() ? "skyvane" : id;
}

// Said once per run: the program goes on, a tray may start later.
void reportNowhereToShow() {
    static bool said = false;
    if (said) return;
    said = true;
    std::cerr << programName()
              << ": the weather icon cannot be shown: there is no StatusNotifierWatcher on the session bus and "
                 "no system tray on the display; it will appear when a panel with a tray starts."
              << std::endl;
}

}  // namespace

StatusItemView::StatusItemView(const StatusItemRef& item) : item_(item) {
    GError* error = nullptr;
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus_) {
        g_error_free(error);
        showInTray();
        return;
    }
    cancel_ = g_cancellable_new();
    menuExport_ = std::make_unique<DbusMenuExport>(newMenuPath());
    menuExport_->setOpenHandler([this](bool open) {
        auto shownItem = item_.lock();
        if (!shownItem) return;
        if (open) shownItem->userOpenMenu();
        else shownItem->userCloseMenu();
    });
    notifier_ = std::make_unique<StatusNotifierItem>(bus_, programId(), programName(), menuExport_->objectPath());
    notifier_->setActivateHandler([this](int, int) { openMenu(); });
    // The first answer tells whether a watcher is there now.
    watch_ = g_bus_watch_name_on_connection(
        bus_, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
        +[](GDBusConnection*, const gchar*, const gchar*, gpointer self) {
            static_cast<StatusItemView*>(self)->watcherAppeared();
        },
        +[](GDBusConnection*, const gchar*, gpointer self) { static_cast<StatusItemView*>(self)->watcherVanished(); },
        this, nullptr);
    sync();
}

StatusItemView::~StatusItemView() {
    if (watch_) g_bus_unwatch_name(watch_);
    if (cancel_) {
        g_cancellable_cancel(cancel_);
        g_object_unref(cancel_);
    }
    popup_.reset();
    if (trayIcon_) {
        gtk_status_icon_set_visible(trayIcon_, FALSE);
        g_object_unref(trayIcon_);
    }
    notifier_.reset();
    menuExport_.reset();
    if (bus_) g_object_unref(bus_);
}

void StatusItemView::watcherAppeared() {
    if (!notifier_ || !notifier_->exported()) {
        showInTray();
        return;
    }
    g_dbus_connection_call(
        bus_, kWatcher, "/StatusNotifierWatcher", kWatcher, "RegisterStatusNotifierItem",
        g_variant_new("(s)", notifier_->busName().c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, cancel_,
        +[](GObject* source, GAsyncResult* result, gpointer self) {
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (!reply) {
                const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
                if (!cancelled)
                    std::cerr << "StatusNotifierItem: the watcher refused the item: " << error->message << std::endl;
                g_error_free(error);
                if (!cancelled) static_cast<StatusItemView*>(self)->showInTray();
                return;
            }
            g_variant_unref(reply);
            auto* view = static_cast<StatusItemView*>(self);
            view->shown_ = Shown::NotifierItem;
            if (view->trayIcon_) gtk_status_icon_set_visible(view->trayIcon_, FALSE);
            view->sync();
        },
        this);
}

void StatusItemView::watcherVanished() { showInTray(); }

void StatusItemView::showInTray() {
    if (shown_ == Shown::Nowhere && !x11TrayManagerPresent()) reportNowhereToShow();
    shown_ = Shown::TrayIcon;
    if (!trayIcon_) {
        trayIcon_ = gtk_status_icon_new();
        // The icon shows no words: screen readers name it by the program.
        gtk_status_icon_set_title(trayIcon_, programName().c_str());
        g_signal_connect(trayIcon_, "activate", G_CALLBACK(+[](GtkStatusIcon*, gpointer self) {
                             static_cast<StatusItemView*>(self)->openMenu();
                         }),
                         this);
        g_signal_connect(trayIcon_, "popup-menu", G_CALLBACK(+[](GtkStatusIcon*, guint, guint, gpointer self) {
                             static_cast<StatusItemView*>(self)->openMenu();
                         }),
                         this);
        // A new slot size needs the picture at that size.
        g_signal_connect(trayIcon_, "size-changed", G_CALLBACK(+[](GtkStatusIcon*, gint, gpointer self) -> gboolean {
                             static_cast<StatusItemView*>(self)->sync();
                             return TRUE;
                         }),
                         this);
    }
    sync();
}

std::string StatusItemView::trayToolTip(const StatusItem& item) {
    return item.toolTip().empty() ? item.title() : item.toolTip();
}

void StatusItemView::syncTrayIcon(StatusItem& item) {
    // The picture alone fills the slot; the title is in the tool tip.
    const int size = gtk_status_icon_get_size(trayIcon_);
    GdkPixbuf* picture = pixbufFittingSlot(item.image().get(), size > 0 ? size : 22);
    if (picture) {
        gtk_status_icon_set_from_pixbuf(trayIcon_, picture);
        g_object_unref(picture);
    }
    // No tool tip over the open menu, and no empty one.
    // (Setting a text turns the tool tip on again, so the text goes first.)
    const std::string tip = trayToolTip(item);
    const bool showTip = !tip.empty() && !item.isMenuDown();
    gtk_status_icon_set_tooltip_text(trayIcon_, showTip ? tip.c_str() : nullptr);
    gtk_status_icon_set_has_tooltip(trayIcon_, showTip);
    gtk_status_icon_set_visible(trayIcon_, TRUE);
}

void StatusItemView::sync() {
    auto item = item_.lock();
    if (!item) return;
    if (menuExport_) menuExport_->show(item->menu());
    // No tool tip over the open menu.
    if (notifier_) notifier_->show(item->image(), item->title(), item->isMenuDown() ? "" : item->toolTip());
    if (shown_ == Shown::TrayIcon && trayIcon_) syncTrayIcon(*item);
    if (popup_ && gtk_widget_get_visible(popup_->widget())) popup_->sync();
}

GtkWidget* StatusItemView::popupMenu() const { return popup_ ? popup_->widget() : nullptr; }

void StatusItemView::openMenu() {
    auto item = item_.lock();
    if (!item || !item->menu()) return;
    if (popup_ && gtk_widget_get_visible(popup_->widget())) return;  // open already
    if (!popup_ || popup_->menu() != item->menu()) {
        popup_ = std::make_unique<GtkMenuMirror>(item->menu());
        connect<StatusItem>(popup_->widget(), "hide", +[](GtkWidget*, gpointer d) {
            if (auto i = target<StatusItem>(d)) i->userCloseMenu();
        }, item_);
    }
    popup_->sync();
    GtkWidget* menu = popup_->widget();
    // GTK places a menu by the size it was last shown at, and sizes it anew
    // before placing only while its window does not exist: a menu that grew
    // while closed would open past the screen's edge, one that shrank apart
    // from the icon. So the closed menu's window goes, and GTK places it by
    // its current size every time it opens.
    gtk_widget_unrealize(gtk_widget_get_toplevel(menu));
    item->userOpenMenu();
    if (trayIcon_) {
        // A tool tip already up would stay over the menu: take it away now.
        gtk_status_icon_set_has_tooltip(trayIcon_, FALSE);
        gtk_tooltip_trigger_tooltip_query(gdk_display_get_default());
    }
    if (shown_ == Shown::TrayIcon && trayIcon_) {
        // Placed by the icon in the tray.
        gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, gtk_status_icon_position_menu, trayIcon_, 0,
                       gtk_get_current_event_time());
    } else {
        gtk_menu_popup_at_pointer(GTK_MENU(menu), nullptr);
    }
    if (!gtk_widget_get_visible(menu)) item->userCloseMenu();  // it could not be shown
}
